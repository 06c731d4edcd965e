// The peers' log: one line per event, on standard error.
#pragma once

#include <functional>
#include <string>

namespace pelvane::peers {

// A log line sink taking UTF-8 text.
using LogSink = std::function<void(const std::string& line)>;

// Writes "hh:mm:ss [peer] line" to standard error.
LogSink StderrLog();

}  // namespace pelvane::peers
