#include "app/session/database_alias.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace pelvane {
namespace {

std::string UpperName(std::string_view name) {
  std::string upper(name);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper;
}

}  // namespace

void TDatabaseSession::AddStandardAlias(std::string_view name, std::string_view path,
                                        std::string_view default_driver) {
  const std::string key = UpperName(name);
  if (aliases_.contains(key)) throw EDatabaseError("Duplicate alias name " + std::string(name));
  Alias alias;
  alias.scope = config_mode_;
  alias.params = {{"TYPE", std::string(kStandardAliasType)},
                  {"PATH", std::string(path)},
                  {"DEFAULT DRIVER", std::string(default_driver)}};
  aliases_.emplace(key, std::move(alias));
}

const TDatabaseSession::Alias* TDatabaseSession::Find(std::string_view name) const {
  const auto it = aliases_.find(UpperName(name));
  return it == aliases_.end() ? nullptr : &it->second;
}

bool TDatabaseSession::IsAlias(std::string_view name) const {
  return Find(name) != nullptr;
}

std::map<std::string, std::string> TDatabaseSession::GetAliasParams(std::string_view name) const {
  const Alias* alias = Find(name);
  return alias == nullptr ? std::map<std::string, std::string>{} : alias->params;
}

unsigned TDatabaseSession::AliasScope(std::string_view name) const {
  const Alias* alias = Find(name);
  return alias == nullptr ? 0 : alias->scope;
}

void RegisterTemporaryAlias(TDatabaseSession& session, std::string_view program_directory) {
  session.SetConfigMode(cfmSession);
  try {
    session.AddStandardAlias(kTemporaryAliasName, program_directory, kStandardDriverName);
  } catch (...) {
    session.SetConfigMode(cfmAll);
    throw;
  }
  session.SetConfigMode(cfmAll);
}

std::string ProgramDirectory() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || !exe.has_parent_path()) return {};
  std::string directory = exe.parent_path().string();
  if (directory.empty() || directory.back() != '/') directory += '/';
  return directory;
}

}  // namespace pelvane
