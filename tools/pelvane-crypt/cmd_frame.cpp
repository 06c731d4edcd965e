// frame --plain --id N: standard input (bytes) to the plain frame text under identifier N.
// frame --body: standard input (a frame) to the decoded bytes of its body.
#include "messaging/frames.h"
#include "tools/pelvane-crypt/cli.h"

namespace pelvane::crypt {

namespace {

int RunFrame(const std::vector<std::string>& args) {
  const Options options(args, {"id"}, {"plain", "body"});
  const bool plain = options.Has("plain");
  const bool body = options.Has("body");
  if (plain == body) throw UsageError("give exactly one of --plain and --body");
  if (body) {
    if (options.Has("id")) throw UsageError("option --id belongs to --plain");
    WriteResult(GetMessageBody(ReadStdin()));
    return 0;
  }
  const std::string id_text = options.Required("id");
  const long long id = options.Integer("id", 0);
  if (id < 0 || id > 255) throw UsageError("option --id needs 0 to 255, not '" + id_text + "'");
  WriteResult(BuildPlainFrame(ReadStdin(), static_cast<int>(id)));
  return 0;
}

}  // namespace

const Command kFrameCommand = {"frame", "Build a plain frame or read a frame's body",
                               "--plain --id N | --body", RunFrame};

}  // namespace pelvane::crypt
