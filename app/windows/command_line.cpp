#include "app/windows/command_line.h"

#include <string_view>

#include "cmdline/options.h"

namespace pelvane {
namespace {

// The options QGuiApplication and QApplication take ("-style fusion", "-style=fusion",
// "--style fusion"); the application object removes them from the command line itself.
constexpr std::string_view kWindowingValued[] = {"platform",
                                                 "platformpluginpath",
                                                 "platformtheme",
                                                 "plugin",
                                                 "qwindowgeometry",
                                                 "qwindowtitle",
                                                 "qwindowicon",
                                                 "display",
                                                 "geometry",
                                                 "title",
                                                 "name",
                                                 "style",
                                                 "stylesheet",
                                                 "session"};
constexpr std::string_view kWindowingFlags[] = {"reverse", "widgetcount", "nograb",
                                                "dograb",  "sync",        "testability"};

cmdline::OptionTable WalletOptions() {
  cmdline::OptionTable table;
  table.flags = {"help", "help-all", "version"};
  table.aliases = {{"-h", "help"}, {"-?", "help"}, {"-v", "version"}};
  for (const std::string_view name : kWindowingValued) {
    table.valued.emplace(name);
    table.aliases.emplace("-" + std::string(name), std::string(name));
  }
  for (const std::string_view name : kWindowingFlags) {
    table.flags.emplace(name);
    table.aliases.emplace("-" + std::string(name), std::string(name));
  }
  return table;
}

// Qt's single-dash spelling with its value ("-style=fusion") in the parser's ("--style=fusion").
std::vector<std::string> WithLongValueSpelling(const std::vector<std::string>& arguments,
                                               const cmdline::OptionTable& table) {
  std::vector<std::string> result;
  bool options_ended = false;
  for (const std::string& argument : arguments) {
    if (argument == "--") options_ended = true;
    const std::size_t equals = argument.find('=');
    const bool single_dash_value = !options_ended && argument.size() > 2 && argument[0] == '-' &&
                                   argument[1] != '-' && equals != std::string::npos &&
                                   table.valued.count(argument.substr(1, equals - 1)) > 0;
    result.push_back(single_dash_value ? "-" + argument : argument);
  }
  return result;
}

}  // namespace

WalletCommandLine ParseWalletCommandLine(const std::vector<std::string>& arguments) {
  WalletCommandLine result;
  const cmdline::OptionTable table = WalletOptions();
  try {
    const cmdline::ParsedOptions options(WithLongValueSpelling(arguments, table), table);
    if (options.Has("help-all")) {
      result.request = WalletCommandLine::Request::kHelpAll;
    } else if (options.Has("help")) {
      result.request = WalletCommandLine::Request::kHelp;
    } else if (options.Has("version")) {
      result.request = WalletCommandLine::Request::kVersion;
    }
    const std::vector<std::string>& words = options.Words();
    if (!words.empty()) result.purchase_file = words.front();
    for (std::size_t i = 1; i < words.size(); ++i) {
      result.warnings.push_back("ignoring the extra argument " + words[i] +
                                "; only the first names the purchase file");
    }
  } catch (const cmdline::UnknownOption& e) {
    result.request = WalletCommandLine::Request::kUsageError;
    result.error = e.FileNameHint();
  } catch (const cmdline::UsageError& e) {
    result.request = WalletCommandLine::Request::kUsageError;
    result.error = e.what();
  }
  return result;
}

}  // namespace pelvane
