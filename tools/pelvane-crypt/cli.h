// Shared conventions of pelvane-crypt's subcommands: option parsing, standard input and output.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cmdline/options.h"
#include "crypto/algorithm_catalogue.h"
#include "crypto/secure.h"

namespace pelvane::crypt {

// A command line that does not fit the subcommand; exits with status 2.
using UsageError = cmdline::UsageError;

// "--name value" options and "--flag" switches of one subcommand (the programs' one option
// parser). Unknown options, missing values, repeated options and arguments that are no option
// are usage errors.
class Options {
 public:
  Options(const std::vector<std::string>& args, const std::set<std::string>& valued,
          const std::set<std::string>& flags);

  bool Has(const std::string& name) const { return parsed_.Has(name); }
  std::optional<std::string> Value(const std::string& name) const { return parsed_.Value(name); }
  std::string Required(const std::string& name) const { return parsed_.Required(name); }
  // A decimal integer option; absent gives fallback.
  long long Integer(const std::string& name, long long fallback) const {
    return parsed_.Integer(name, fallback);
  }

 private:
  cmdline::ParsedOptions parsed_;
};

// All of standard input, as bytes.
std::string ReadStdin();

// A key text from a file (a regular file of at most 4 KiB) or, for "-", from the first line of
// standard input (the rest of standard input stays for the command's data). One trailing line
// break is ignored. A failure throws pelvane::Exception naming the file and the limit.
SecretString ReadKeyText(const std::string& path);

// Refuses a command line that names standard input ("-") for more than one of the options.
void RejectSecondStdinKey(const Options& options, const std::vector<std::string>& names);

// The hexadecimal text of a key, either from the command line (--NAME-hex HEX, visible to other
// users and kept in the shell's history: for test vectors) or from a file (--NAME-file F, the
// same text; "-" for the first line of standard input). Exactly one of the two is required.
// Sets what to the source as usage errors name it.
SecretString HexKeyText(const Options& options, const std::string& name, std::string& what);

// Strict hexadecimal (an even number of digits, nothing else) to bytes; what names the option in
// the usage error.
SecretString ParseHex(std::string_view text, const std::string& what);

// Writes the result bytes to standard output, followed by a newline only when standard
// output is a terminal.
void WriteResult(const std::string& bytes);

// Refuses (with a message, exit status 1) a name that selects a table row without an algorithm
// here: the manager would fall back to its default class, which is not what was asked for.
void RejectAbsentAlgorithm(AlgorithmKind kind, const std::string& name);

// A subcommand: its name, a one-line summary and its runner (returns the exit status).
struct Command {
  const char* name;
  const char* summary;
  const char* usage;
  int (*run)(const std::vector<std::string>& args);
};

// Each cmd_*.cpp defines one of these.
extern const Command kEncodeCommand;
extern const Command kDecodeCommand;
extern const Command kHashCommand;
extern const Command kCipherCommand;
extern const Command kRsaCommand;
extern const Command kFrameCommand;
extern const Command kEnvelopeCommand;
extern const Command kListCommand;

}  // namespace pelvane::crypt
