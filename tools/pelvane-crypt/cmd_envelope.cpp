// pelvane-crypt envelope: the wallet's key frames, secure frames and secure blocks, and the
// opening of secure frames. Keys come from files holding the key text (one trailing line
// break ignored); the session key is hexadecimal text from a file (--session-key-file) or from
// the command line (--session-key-hex, for test vectors).
//
//   envelope --key   --id N --public-key-file F SESSION-KEY            key frame of the key
//   envelope --seal  --id N --public-key-file F SESSION-KEY            stdin text -> frame
//   envelope --block --public-key-file F SESSION-KEY                   stdin text -> block
//   envelope --open  --public-key-file F --private-key-file F SESSION-KEY
//                                                     stdin frame -> text or the mismatch text
#include <string>
#include <vector>

#include "crypto/formats/formats.h"
#include "crypto/secure.h"
#include "messaging/envelopes.h"
#include "tools/pelvane-crypt/cli.h"

namespace pelvane::crypt {

namespace {

int IdentifierOption(const Options& options) {
  const std::string text = options.Required("id");
  const long long id = options.Integer("id", 0);
  if (id < 0 || id > 255) throw UsageError("option --id needs 0 to 255, not '" + text + "'");
  return static_cast<int>(id);
}

int RunEnvelope(const std::vector<std::string>& args) {
  const Options options(
      args, {"id", "public-key-file", "private-key-file", "session-key-hex", "session-key-file"},
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
  RejectSecondStdinKey(options, {"public-key-file", "private-key-file", "session-key-file"});
  const std::string public_key = ReadKeyText(options.Required("public-key-file")).str();
  WipedString private_key;
  if (open) *private_key = ReadKeyText(options.Required("private-key-file")).str();
  std::string key_source;
  const SecretString hex_key = HexKeyText(options, "session-key", key_source);
  std::string decoded = FormatToStr(hex_key, kFormatHex);
  const SecretString session_key = SecretString::Take(decoded);

  if (key) {
    WriteResult(BuildKeyFrame(session_key, public_key, id));
  } else if (seal) {
    const WipedString text(ReadStdin());
    WriteResult(BuildSecureFrame(*text, id, public_key, session_key));
  } else if (block) {
    const WipedString text(ReadStdin());
    WriteResult(BuildSecureBlock(*text, session_key, public_key));
  } else {
    // Characters after the frame's stated body length (a line break, say) are ignored.
    const WipedString text(OpenSecureMessage(ReadStdin(), session_key, public_key, *private_key));
    WriteResult(*text);
  }
  return 0;
}

}  // namespace

const Command kEnvelopeCommand = {
    "envelope", "Build and open secure envelopes",
    "--key --id N --public-key-file F SESSION-KEY\n"
    "     | --seal --id N --public-key-file F SESSION-KEY   (text on standard input)\n"
    "     | --block --public-key-file F SESSION-KEY         (text on standard input)\n"
    "     | --open --public-key-file F --private-key-file F SESSION-KEY   (frame on standard "
    "input)\n"
    "  SESSION-KEY: --session-key-file F (hexadecimal text, at most 4 KiB) or --session-key-hex\n"
    "  HEX. A command line is visible to other users and kept in the shell's history: keep\n"
    "  --session-key-hex for test vectors. Key files are regular files of at most 4 KiB; one\n"
    "  of them may be '-', the first line of standard input (the data follows).",
    RunEnvelope};

}  // namespace pelvane::crypt
