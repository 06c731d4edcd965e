#include "tools/pelvane-crypt/cli.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "crypto/exception.h"

namespace pelvane::crypt {

Options::Options(const std::vector<std::string>& args, const std::set<std::string>& valued,
                 const std::set<std::string>& flags) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0) throw UsageError("unexpected argument '" + a + "'");
    std::string name = a.substr(2);
    std::string value;
    const size_t eq = name.find('=');
    const bool inline_value = eq != std::string::npos;
    if (inline_value) {
      value = name.substr(eq + 1);
      name.resize(eq);
    }
    if (valued.count(name) > 0) {
      if (!inline_value) {
        if (i + 1 >= args.size()) throw UsageError("option --" + name + " needs a value");
        value = args[++i];
      }
    } else if (flags.count(name) > 0) {
      if (inline_value) throw UsageError("option --" + name + " takes no value");
    } else {
      throw UsageError("unknown option --" + name);
    }
    if (!values_.emplace(name, value).second) {
      throw UsageError("option --" + name + " given twice");
    }
  }
}

std::optional<std::string> Options::Value(const std::string& name) const {
  auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::string Options::Required(const std::string& name) const {
  auto v = Value(name);
  if (!v) throw UsageError("option --" + name + " is required");
  return *v;
}

long long Options::Integer(const std::string& name, long long fallback) const {
  auto v = Value(name);
  if (!v) return fallback;
  try {
    size_t used = 0;
    long long n = std::stoll(*v, &used, 10);
    if (used != v->size()) throw std::invalid_argument(*v);
    return n;
  } catch (const std::logic_error&) {
    throw UsageError("option --" + name + " needs a whole number, not '" + *v + "'");
  }
}

std::string ReadStdin() {
  std::ostringstream s;
  s << std::cin.rdbuf();
  return s.str();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Exception("Cannot open file " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteResult(const std::string& bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  if (isatty(STDOUT_FILENO)) std::fputc('\n', stdout);
  std::fflush(stdout);
}

void RejectAbsentAlgorithm(AlgorithmKind kind, const std::string& name) {
  if (const auto row = FindAbsentAlgorithm(kind, name)) {
    throw Exception(row->class_name + " (\"" + row->description +
                    "\") is absent here: " + row->absent_reason);
  }
}

}  // namespace pelvane::crypt
