// A minimal in-memory stand-in for the database-engine session of the main window. The wallet
// opens no table; at start-up it only registers the alias "TEMPPELVAN" for this session, pointing
// at the program's directory. Nothing else uses it, and nothing is written to disk.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "crypto/exception.h"

namespace pelvane {

// A failure of the engine session, for example a duplicate alias name.
class EDatabaseError : public Exception {
  using Exception::Exception;
};

// Configuration scopes, combinable as bits.
enum TConfigMode : unsigned {
  cfmVirtual = 1,
  cfmPersistent = 2,
  cfmSession = 4,
};
inline constexpr unsigned cfmAll = cfmVirtual | cfmPersistent | cfmSession;

inline constexpr std::string_view kTemporaryAliasName = "TEMPPELVAN";
inline constexpr std::string_view kStandardAliasType = "STANDARD";
inline constexpr std::string_view kStandardDriverName = "PARADOX";

class TDatabaseSession {
 public:
  explicit TDatabaseSession(std::string session_name) : session_name_(std::move(session_name)) {}

  const std::string& SessionName() const noexcept { return session_name_; }

  unsigned ConfigMode() const noexcept { return config_mode_; }
  void SetConfigMode(unsigned mode) noexcept { config_mode_ = mode; }

  // Adds an alias of type "STANDARD" with the parameters PATH and DEFAULT DRIVER, in the scope of
  // the current configuration mode. A name already present (compared without regard to letter
  // case) throws EDatabaseError "Duplicate alias name <name>".
  void AddStandardAlias(std::string_view name, std::string_view path,
                        std::string_view default_driver);

  bool IsAlias(std::string_view name) const;
  // The alias's parameters ("TYPE", "PATH", "DEFAULT DRIVER"); empty for an unknown alias.
  std::map<std::string, std::string> GetAliasParams(std::string_view name) const;
  // The configuration mode that was in force when the alias was added; 0 for an unknown alias.
  unsigned AliasScope(std::string_view name) const;

 private:
  struct Alias {
    unsigned scope = 0;
    std::map<std::string, std::string> params;
  };
  const Alias* Find(std::string_view name) const;

  std::string session_name_;
  unsigned config_mode_ = cfmAll;
  std::map<std::string, Alias> aliases_;  // keyed by the upper-case name
};

// The main window's start-up registration: session-only mode, add "TEMPPELVAN" with
// PATH = program_directory (which ends in "/"), and back to all scopes whether or not the adding
// succeeded (a failure to add propagates after the mode is restored).
void RegisterTemporaryAlias(TDatabaseSession& session, std::string_view program_directory);

// The directory of the running program, with its trailing "/". Empty when it cannot be found.
std::string ProgramDirectory();

}  // namespace pelvane
