// pelvane-crypt: the wallet's encodings, digests, ciphers and envelopes from the command line.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "crypto/exception.h"
#include "crypto/formats/charset.h"
#include "tools/pelvane-crypt/cli.h"

using pelvane::crypt::Command;

namespace {

const Command* const kCommands[] = {
    &pelvane::crypt::kEncodeCommand,   &pelvane::crypt::kDecodeCommand,
    &pelvane::crypt::kHashCommand,     &pelvane::crypt::kCipherCommand,
    &pelvane::crypt::kRsaCommand,      &pelvane::crypt::kFrameCommand,
    &pelvane::crypt::kEnvelopeCommand, &pelvane::crypt::kListCommand,
};

void PrintHelp(std::FILE* to) {
  std::fprintf(to,
               "Usage: pelvane-crypt COMMAND [OPTIONS]\n"
               "Reproduces Pelvane's encodings, digests, ciphers and message frames.\n"
               "Input is read from standard input; the result bytes go to standard output\n"
               "(a newline is added only on a terminal).\n\nCommands:\n");
  for (const Command* c : kCommands)
    std::fprintf(to, "  %-10s %s\n", c->name, c->summary);
  std::fprintf(to,
               "\n'pelvane-crypt COMMAND --help' shows a command's options;\n"
               "'pelvane-crypt --version' shows the version.\n"
               "Exit status: 0 success, 1 failure (message on standard error), 2 usage error.\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    PrintHelp(stderr);
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    PrintHelp(stdout);
    return 0;
  }
  if (args[0] == "--version") {
    std::printf("pelvane-crypt %s\n", PELVANE_VERSION);
    return 0;
  }
  for (const Command* c : kCommands) {
    if (args[0] != c->name) continue;
    std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const auto& a : rest) {
      if (a == "--help" || a == "-h") {
        std::printf("Usage: pelvane-crypt %s %s\n%s\n", c->name, c->usage, c->summary);
        return 0;
      }
    }
    try {
      return c->run(rest);
    } catch (const pelvane::crypt::UsageError& e) {
      std::fprintf(stderr, "pelvane-crypt %s: %s\nUsage: pelvane-crypt %s %s\n", c->name, e.what(),
                   c->name, c->usage);
      return 2;
    } catch (const pelvane::Exception& e) {
      // Messages are Windows-1250 texts of the system; the terminal speaks UTF-8.
      std::fprintf(stderr, "%s\n", pelvane::Cp1250ToUtf8(e.Message()).c_str());
      return 1;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      return 1;
    }
  }
  std::fprintf(stderr, "pelvane-crypt: unknown command '%s'\n", args[0].c_str());
  PrintHelp(stderr);
  return 2;
}
