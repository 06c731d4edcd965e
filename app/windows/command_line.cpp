#include "app/windows/command_line.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace pelvane {
namespace {

// The options QGuiApplication and QApplication take, with one or two leading dashes, and whether
// the next argument is their value ("-style fusion"; "-style=fusion" carries it).
struct WindowingOption {
  std::string_view name;
  bool takes_value;
};
constexpr WindowingOption kWindowingOptions[] = {
    {"platform", true},
    {"platformpluginpath", true},
    {"platformtheme", true},
    {"plugin", true},
    {"qwindowgeometry", true},
    {"qwindowtitle", true},
    {"qwindowicon", true},
    {"display", true},
    {"geometry", true},
    {"title", true},
    {"name", true},
    {"style", true},
    {"stylesheet", true},
    {"session", true},
    {"reverse", false},
    {"widgetcount", false},
    {"nograb", false},
    {"dograb", false},
    {"sync", false},
    {"testability", false},
};

const WindowingOption* FindWindowingOption(std::string_view argument) {
  argument.remove_prefix(argument.size() > 1 && argument[1] == '-' ? 2 : 1);
  const std::size_t equals = argument.find('=');
  const bool has_value = equals != std::string_view::npos;
  const std::string_view name = argument.substr(0, equals);
  for (const WindowingOption& option : kWindowingOptions) {
    if (option.name == name && (!has_value || option.takes_value)) {
      return &option;
    }
  }
  return nullptr;
}

}  // namespace

std::string UnknownOptionLine(const std::string& option) {
  return "Unknown option " + option + "; use ./" + option + " or -- for a file name";
}

WalletCommandLine ParseWalletCommandLine(const std::vector<std::string>& arguments) {
  WalletCommandLine result;
  bool options_ended = false;
  bool have_file = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool is_option = !options_ended && argument.size() > 1 && argument[0] == '-';
    if (is_option) {
      if (argument == "--") {
        options_ended = true;
      } else if (argument == "-h" || argument == "-?" || argument == "--help") {
        if (result.request == WalletCommandLine::Request::kRun) {
          result.request = WalletCommandLine::Request::kHelp;
        }
      } else if (argument == "--help-all") {
        result.request = WalletCommandLine::Request::kHelpAll;
      } else if (argument == "-v" || argument == "--version") {
        if (result.request == WalletCommandLine::Request::kRun) {
          result.request = WalletCommandLine::Request::kVersion;
        }
      } else if (const WindowingOption* option = FindWindowingOption(argument)) {
        if (option->takes_value && argument.find('=') == std::string::npos) ++i;
      } else {
        result.request = WalletCommandLine::Request::kUsageError;
        result.error = UnknownOptionLine(argument);
        return result;
      }
    } else if (!have_file) {
      result.purchase_file = argument;
      have_file = true;
    } else {
      result.warnings.push_back("ignoring the extra argument " + argument +
                                "; only the first names the purchase file");
    }
  }
  return result;
}

}  // namespace pelvane
