// pelvane-crypt list: the rows of the hash and cipher tables in table order, with whether each
// works here.
#include <algorithm>
#include <cstdio>
#include <string>

#include "crypto/algorithm_catalogue.h"
#include "tools/pelvane-crypt/cli.h"

namespace pelvane::crypt {

namespace {

std::string Sizes(AlgorithmKind kind, const AlgorithmListing& row) {
  if (kind == AlgorithmKind::kHash) return "digest " + std::to_string(row.digest_size);
  return "block " + std::to_string(row.block_size) + ", key " + std::to_string(row.key_size);
}

// One table: a heading, then one aligned line per row. An empty note shows as "-".
std::string Table(AlgorithmKind kind) {
  const std::vector<AlgorithmListing> rows = ListAlgorithms(kind);
  struct Line {
    std::string cells[5];
  };
  std::vector<Line> lines;
  lines.push_back({{"Class", "Description", "Note", "Sizes (bytes)", "Here"}});
  for (const AlgorithmListing& row : rows) {
    lines.push_back({{row.class_name, row.description, row.note.empty() ? "-" : row.note,
                      Sizes(kind, row), row.works ? "works" : "absent: " + row.absent_reason}});
  }
  std::size_t width[4] = {};
  for (const Line& l : lines) {
    for (int i = 0; i < 4; ++i)
      width[i] = std::max(width[i], l.cells[i].size());
  }
  std::string out = kind == AlgorithmKind::kHash ? "Hashes\n" : "Ciphers\n";
  for (const Line& l : lines) {
    for (int i = 0; i < 4; ++i)
      out += l.cells[i] + std::string(width[i] - l.cells[i].size() + 2, ' ');
    out += l.cells[4] + "\n";
  }
  return out;
}

int RunList(const std::vector<std::string>& args) {
  const Options options(args, {}, {"hashes", "ciphers"});
  const bool all = !options.Has("hashes") && !options.Has("ciphers");
  std::string out;
  if (all || options.Has("hashes")) out += Table(AlgorithmKind::kHash);
  if (all) out += "\n";
  if (all || options.Has("ciphers")) out += Table(AlgorithmKind::kCipher);
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  return 0;
}

}  // namespace

const Command kListCommand = {
    "list", "The registered hashes and ciphers, and which work here",
    "[--hashes|--ciphers]\n"
    "  Prints the hash table, then the cipher table, in registry order: class name,\n"
    "  description, note, sizes in bytes (digest; block and key) and whether the row works\n"
    "  here or is absent, and why. --hashes or --ciphers prints one table only.",
    RunList};

}  // namespace pelvane::crypt
