#include "tools/pelvane-crypt/cli.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "crypto/exception.h"

namespace pelvane::crypt {

namespace {

cmdline::OptionTable Table(const std::set<std::string>& valued,
                           const std::set<std::string>& flags) {
  cmdline::OptionTable table;
  table.valued = valued;
  table.flags = flags;
  return table;
}

}  // namespace

Options::Options(const std::vector<std::string>& args, const std::set<std::string>& valued,
                 const std::set<std::string>& flags)
    : parsed_(args, Table(valued, flags)) {
  if (!parsed_.Words().empty()) {
    throw UsageError("unexpected argument '" + parsed_.Words().front() + "'");
  }
}

std::string ReadStdin() {
  std::ostringstream s;
  s << std::cin.rdbuf();
  return s.str();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Exception("Cannot open file " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteResult(const std::string& bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  if (isatty(STDOUT_FILENO)) std::fputc('\n', stdout);
  std::fflush(stdout);
}

void RejectAbsentAlgorithm(AlgorithmKind kind, const std::string& name) {
  if (const auto row = FindAbsentAlgorithm(kind, name)) {
    throw Exception(row->class_name + " (\"" + row->description +
                    "\") is absent here: " + row->absent_reason);
  }
}

}  // namespace pelvane::crypt
