// pelvane-crypt encode --format ID: standard input bytes to text in a string format.
#include <climits>

#include "crypto/formats/formats.h"
#include "tools/pelvane-crypt/cli.h"

namespace pelvane::crypt {

// The --format option as a format identifier; shared with the decode subcommand.
int FormatOption(const Options& options) {
  options.Required("format");
  const long long id = options.Integer("format", kFormatDefault);
  if (id < INT_MIN || id > INT_MAX) {
    throw UsageError("option --format needs a format identifier, not " + std::to_string(id));
  }
  return static_cast<int>(id);
}

namespace {

int RunEncode(const std::vector<std::string>& args) {
  const Options options(args, {"format"}, {});
  const int id = FormatOption(options);
  WriteResult(StrToFormat(ReadStdin(), id));
  return 0;
}

}  // namespace

const Command kEncodeCommand = {
    "encode", "Bytes to text in a string format",
    "--format ID\n"
    "  Reads bytes from standard input and writes them as text. ID: 1 copy, 16 hexadecimal,\n"
    "  1016 lower-case hexadecimal, 4196 or -1 MIME Base 64, 21845 UU, 22616 XX.",
    RunEncode};

}  // namespace pelvane::crypt
