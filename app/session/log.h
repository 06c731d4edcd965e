// Time stamps of the wallet's log.
#pragma once

#include <chrono>
#include <string>

#include "app/session/sinks.h"

namespace pelvane {

// The stamp line for a moment in local time: "dd.mm.yyyy hh:nn:ss" (24-hour clock), for example
// "07.12.2026 00:17:26".
std::string FormatLogTimestamp(std::chrono::system_clock::time_point when);

// Starts a log entry: appends an empty line, then the stamp line of the current moment. Date and
// time come from one reading of the clock, so an entry written across midnight still carries a
// consistent stamp.
void LogTimestamp(LogSink& log);
void LogTimestamp(LogSink& log, std::chrono::system_clock::time_point when);

}  // namespace pelvane
