// Conversion between the wallet's Windows-1250 texts and the widgets' Unicode.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace pelvane {

// For display: bytes Windows-1250 leaves undefined, and a zero byte, show as U+FFFD. Never fails.
QString Cp1250ToQString(std::string_view cp1250);

// The widget's text as UTF-8 bytes (the input of Utf8ToCp1250).
std::string QStringToUtf8(const QString& text);

}  // namespace pelvane
