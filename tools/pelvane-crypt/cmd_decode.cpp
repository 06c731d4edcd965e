// pelvane-crypt decode --format ID: text in a string format from standard input to bytes.
#include "crypto/formats/formats.h"
#include "tools/pelvane-crypt/cli.h"

namespace pelvane::crypt {

int FormatOption(const Options& options);  // cmd_encode.cpp

namespace {

int RunDecode(const std::vector<std::string>& args) {
  const Options options(args, {"format"}, {});
  const int id = FormatOption(options);
  WriteResult(FormatToStr(ReadStdin(), id));
  return 0;
}

}  // namespace

const Command kDecodeCommand = {
    "decode", "Text in a string format to bytes",
    "--format ID\n"
    "  Reads text from standard input and writes the bytes it stands for. ID: 1 copy,\n"
    "  16 hexadecimal, 1016 lower-case hexadecimal, 4196 or -1 MIME Base 64, 21845 UU,\n"
    "  22616 XX.",
    RunDecode};

}  // namespace pelvane::crypt
