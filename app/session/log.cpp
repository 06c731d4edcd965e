#include "app/session/log.h"

#include <cstdio>
#include <ctime>

namespace pelvane {

std::string FormatLogTimestamp(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[64];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", local.tm_mday, local.tm_mon + 1,
                local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

void LogTimestamp(LogSink& log, std::chrono::system_clock::time_point when) {
  log.AppendLine("");
  log.AppendLine(FormatLogTimestamp(when));
}

void LogTimestamp(LogSink& log) {
  LogTimestamp(log, std::chrono::system_clock::now());
}

}  // namespace pelvane
