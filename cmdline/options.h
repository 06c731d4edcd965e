// The one option parser of the programs (pelvane-cli, pelvane-peers, pelvane-crypt, and pelvane,
// which adds the windowing system's own options to its table): "--name VALUE" or "--name=VALUE"
// for options that take a value, "--name" for switches, words in between in their order, "--"
// before words that begin with "-".
#pragma once

#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace pelvane::cmdline {

// A command line that does not fit the program; the programs exit with status 2.
class UsageError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

// An argument that begins with "-" and names no option of the program. The wallets, which take a
// file name, explain it with FileNameHint().
class UnknownOption : public UsageError {
 public:
  explicit UnknownOption(const std::string& argument)
      : UsageError("unknown option " + argument), argument_(argument) {}
  // The argument exactly as given.
  const std::string& Argument() const noexcept { return argument_; }
  // One line: "Unknown option -order.txt; use ./-order.txt or -- for a file name".
  std::string FileNameHint() const {
    return "Unknown option " + argument_ + "; use ./" + argument_ + " or -- for a file name";
  }

 private:
  std::string argument_;
};

struct OptionTable {
  std::set<std::string> valued;  // names of options that take a value
  std::set<std::string> flags;   // names of switches
  // Short spellings: "-h" -> "help", for example.
  std::map<std::string, std::string> aliases;
};

class ParsedOptions {
 public:
  // Unknown options (UnknownOption), a missing value, a value given to a switch and a repeated
  // option are usage errors.
  ParsedOptions(const std::vector<std::string>& args, const OptionTable& table);

  // The arguments that are not options, in their order.
  const std::vector<std::string>& Words() const noexcept { return words_; }

  bool Has(const std::string& name) const { return values_.count(name) > 0; }
  std::optional<std::string> Value(const std::string& name) const;
  std::string Value(const std::string& name, const std::string& fallback) const;
  // The value; a usage error when the option was not given.
  std::string Required(const std::string& name) const;
  // A decimal integer option (an optional sign, then digits only); absent gives fallback.
  long long Integer(const std::string& name, long long fallback) const;

  // A usage error for an option given that is not among names.
  void AllowOnly(std::initializer_list<const char*> names) const;

 private:
  std::map<std::string, std::string> values_;
  std::vector<std::string> words_;
};

}  // namespace pelvane::cmdline
