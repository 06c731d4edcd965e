#include "tools/pelvane-crypt/cli.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <sstream>

#include "crypto/exception.h"
#include "crypto/input_file.h"

namespace pelvane::crypt {

namespace {

cmdline::OptionTable Table(const std::set<std::string>& valued,
                           const std::set<std::string>& flags) {
  cmdline::OptionTable table;
  table.valued = valued;
  table.flags = flags;
  return table;
}

}  // namespace

Options::Options(const std::vector<std::string>& args, const std::set<std::string>& valued,
                 const std::set<std::string>& flags)
    : parsed_(args, Table(valued, flags)) {
  if (!parsed_.Words().empty()) {
    throw UsageError("unexpected argument '" + parsed_.Words().front() + "'");
  }
}

std::string ReadStdin() {
  std::ostringstream s;
  s << std::cin.rdbuf();
  return s.str();
}

SecretString ReadKeyText(const std::string& path) {
  SecretString text;
  if (path == "-") {
    char c = 0;
    while (std::cin.get(c) && c != '\n') {
      text.append(std::string_view(&c, 1));
      if (text.size() > kSecretFileLimit) {
        throw EInputFile("The key line on standard input is longer than " +
                         DescribeLimit(kSecretFileLimit));
      }
    }
    c = 0;
  } else {
    text = ReadSecretInput(path, kSecretFileLimit);
    if (!text.empty() && text.view().back() == '\n') text.resize(text.size() - 1);
  }
  if (!text.empty() && text.view().back() == '\r') text.resize(text.size() - 1);
  return text;
}

void RejectSecondStdinKey(const Options& options, const std::vector<std::string>& names) {
  int from_stdin = 0;
  for (const std::string& name : names)
    from_stdin += options.Value(name) == "-";
  if (from_stdin > 1) throw UsageError("only one key option can read standard input ('-')");
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

SecretString ParseHex(std::string_view text, const std::string& what) {
  if (text.size() % 2 != 0) {
    throw UsageError(what + " needs an even number of hexadecimal digits");
  }
  SecretString bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int hi = HexDigit(text[i]);
    const int lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) throw UsageError(what + " needs hexadecimal digits");
    const char byte = static_cast<char>(hi * 16 + lo);
    bytes.append(std::string_view(&byte, 1));
  }
  return bytes;
}

SecretString HexKeyText(const Options& options, const std::string& name, std::string& what) {
  const std::string hex = name + "-hex";
  const std::string file = name + "-file";
  if (options.Has(hex) && options.Has(file)) {
    throw UsageError("give only one of --" + hex + " and --" + file);
  }
  if (options.Has(hex)) {
    what = "option --" + hex;
    return SecretString(options.Value(hex).value());
  }
  if (options.Has(file)) {
    const std::string path = options.Value(file).value();
    what = path == "-" ? "the key on standard input" : "the key file " + path;
    return ReadKeyText(path);
  }
  throw UsageError("option --" + hex + " or --" + file + " is required");
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
