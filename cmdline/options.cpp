#include "cmdline/options.h"

#include <cerrno>
#include <cstdlib>

namespace pelvane::cmdline {

ParsedOptions::ParsedOptions(const std::vector<std::string>& args, const OptionTable& table) {
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg == "-" || arg.empty() || arg[0] != '-') {
      words_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    std::string name;
    std::string value;
    bool inline_value = false;
    if (const auto alias = table.aliases.find(arg); alias != table.aliases.end()) {
      name = alias->second;
    } else if (arg.rfind("--", 0) == 0) {
      name = arg.substr(2);
      if (const std::size_t eq = name.find('='); eq != std::string::npos) {
        value = name.substr(eq + 1);
        name.resize(eq);
        inline_value = true;
      }
    } else {
      throw UnknownOption(arg);
    }
    if (table.valued.count(name) > 0) {
      if (!inline_value) {
        if (i + 1 >= args.size()) throw UsageError("option --" + name + " needs a value");
        value = args[++i];
      }
    } else if (table.flags.count(name) > 0) {
      if (inline_value) throw UsageError("option --" + name + " takes no value");
    } else {
      throw UnknownOption(arg);
    }
    if (!values_.emplace(name, value).second) {
      throw UsageError("option --" + name + " given twice");
    }
  }
}

std::optional<std::string> ParsedOptions::Value(const std::string& name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::string ParsedOptions::Value(const std::string& name, const std::string& fallback) const {
  return Value(name).value_or(fallback);
}

std::string ParsedOptions::Required(const std::string& name) const {
  const auto value = Value(name);
  if (!value) throw UsageError("option --" + name + " is required");
  return *value;
}

long long ParsedOptions::Integer(const std::string& name, long long fallback) const {
  const auto value = Value(name);
  if (!value) return fallback;
  const std::string& text = *value;
  const std::size_t digits = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
  bool ok =
      text.size() > digits && text.find_first_not_of("0123456789", digits) == std::string::npos;
  long long number = 0;
  if (ok) {
    errno = 0;
    number = std::strtoll(text.c_str(), nullptr, 10);
    ok = errno == 0;
  }
  if (!ok) throw UsageError("option --" + name + " needs a whole number, not '" + text + "'");
  return number;
}

void ParsedOptions::AllowOnly(std::initializer_list<const char*> names) const {
  for (const auto& [name, value] : values_) {
    bool allowed = false;
    for (const char* n : names)
      allowed = allowed || name == n;
    if (!allowed) throw UsageError("unknown option --" + name);
  }
}

}  // namespace pelvane::cmdline
