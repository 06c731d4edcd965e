// The programs' one option parser on any command line: it either refuses with a UsageError or
// gives options whose values and words all come from the arguments, and integer options that
// either are the number their digits say or refuse.
//
// Input: the arguments, separated by zero bytes. The table has the programs' kinds of options:
// valued ones, switches and a short alias.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cmdline/options.h"
#include "fuzz/fuzz_check.h"

namespace {

using namespace pelvane::cmdline;

const OptionTable& Table() {
  static const OptionTable table{
      {"db", "password-file", "balance", "pause-ms", "timeout", "bits", "key-file", "id"},
      {"help", "verbose", "listen", "keygen"},
      {{"-h", "help"}, {"-v", "verbose"}}};
  return table;
}

std::vector<std::string> SplitArguments(std::string_view input) {
  std::vector<std::string> args;
  if (input.empty()) return args;
  std::size_t start = 0;
  for (;;) {
    const std::size_t stop = input.find('\0', start);
    args.emplace_back(
        input.substr(start, stop == std::string_view::npos ? input.npos : stop - start));
    if (stop == std::string_view::npos) break;
    start = stop + 1;
  }
  return args;
}

bool IsArgumentOrItsTail(const std::vector<std::string>& args, const std::string& value) {
  for (const std::string& arg : args) {
    if (arg == value) return true;
    const std::size_t eq = arg.find('=');
    if (eq != std::string::npos && arg.substr(eq + 1) == value) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> args = SplitArguments(pelvane::fuzz::AsText(data, size));
  try {
    const ParsedOptions parsed(args, Table());
    for (const std::string& word : parsed.Words())
      FUZZ_CHECK(IsArgumentOrItsTail(args, word));
    for (const std::string& name : Table().valued) {
      const auto value = parsed.Value(name);
      if (!value) continue;
      FUZZ_CHECK(IsArgumentOrItsTail(args, *value));
      try {
        const long long number = parsed.Integer(name, 0);
        // Digits only, after an optional sign: the number they say.
        FUZZ_CHECK(!value->empty());
        FUZZ_CHECK(std::strtoll(value->c_str(), nullptr, 10) == number);
        FUZZ_CHECK(value->find_first_not_of("+-0123456789") == std::string::npos);
      } catch (const UsageError&) {
      }
    }
    for (const std::string& name : Table().flags) {
      if (parsed.Has(name)) FUZZ_CHECK(parsed.Value(name) == std::string());
    }
    parsed.AllowOnly({"db", "help"});
  } catch (const UsageError&) {
    // Refused with a message.
  }
  return 0;
}
