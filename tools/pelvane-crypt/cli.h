// Shared conventions of pelvane-crypt's subcommands: option parsing, standard input and output.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cmdline/options.h"
#include "crypto/algorithm_catalogue.h"

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

// Reads a whole file as bytes; a failure throws pelvane::Exception naming the file.
std::string ReadFile(const std::string& path);

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
