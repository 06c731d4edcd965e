// pelvane-crypt envelope: the wallet's key frames, secure frames and secure blocks, and the
// opening of secure frames. Keys come from files holding the key text (one trailing line
// break ignored); the session key is given as hexadecimal text.
//
//   envelope --key   --id N --public-key-file F --session-key-hex HEX   key frame of the key
//   envelope --seal  --id N --public-key-file F --session-key-hex HEX   stdin text -> frame
//   envelope --block --public-key-file F --session-key-hex HEX          stdin text -> block
//   envelope --open  --public-key-file F --private-key-file F --session-key-hex HEX
//                                                     stdin frame -> text or the mismatch text
#include <string>
#include <vector>

#include "crypto/formats/formats.h"
#include "crypto/secure.h"
#include "messaging/envelopes.h"
#include "tools/pelvane-crypt/cli.h"

namespace pelvane::crypt {

namespace {

std::string ReadKeyFile(const std::string& path) {
  std::string text = ReadFile(path);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

int IdentifierOption(const Options& options) {
  const std::string text = options.Required("id");
  const long long id = options.Integer("id", 0);
  if (id < 0 || id > 255) throw UsageError("option --id needs 0 to 255, not '" + text + "'");
  return static_cast<int>(id);
}

int RunEnvelope(const std::vector<std::string>& args) {
  const Options options(args, {"id", "public-key-file", "private-key-file", "session-key-hex"},
                        {"key", "seal", "block", "open"});
  const bool key = options.Has("key");
  const bool seal = options.Has("seal");
  const bool block = options.Has("block");
  const bool open = options.Has("open");
  if (key + seal + block + open != 1) {
    throw UsageError("give exactly one of --key, --seal, --block and --open");
  }
  if ((block || open) && options.Has("id")) {
    throw UsageError("option --id belongs to --key and --seal");
  }
  if (!open && options.Has("private-key-file")) {
    throw UsageError("option --private-key-file belongs to --open");
  }
  const int id = (key || seal) ? IdentifierOption(options) : 0;
  const std::string public_key = ReadKeyFile(options.Required("public-key-file"));
  WipedString private_key;
  if (open) *private_key = ReadKeyFile(options.Required("private-key-file"));
  WipedString hex_key(options.Required("session-key-hex"));
  const WipedString session_key(FormatToStr(*hex_key, kFormatHex));

  if (key) {
    WriteResult(BuildKeyFrame(*session_key, public_key, id));
  } else if (seal) {
    const WipedString text(ReadStdin());
    WriteResult(BuildSecureFrame(*text, id, public_key, *session_key));
  } else if (block) {
    const WipedString text(ReadStdin());
    WriteResult(BuildSecureBlock(*text, *session_key, public_key));
  } else {
    // Characters after the frame's stated body length (a line break, say) are ignored.
    const WipedString text(OpenSecureMessage(ReadStdin(), *session_key, public_key, *private_key));
    WriteResult(*text);
  }
  return 0;
}

}  // namespace

const Command kEnvelopeCommand = {
    "envelope", "Build and open secure envelopes",
    "--key --id N --public-key-file F --session-key-hex HEX\n"
    "     | --seal --id N --public-key-file F --session-key-hex HEX   (text on standard input)\n"
    "     | --block --public-key-file F --session-key-hex HEX         (text on standard input)\n"
    "     | --open --public-key-file F --private-key-file F --session-key-hex HEX"
    "   (frame on standard input)",
    RunEnvelope};

}  // namespace pelvane::crypt
