#include "peers/peer_log.h"

#include <QDateTime>
#include <cstdio>

namespace pelvane::peers {

LogSink StderrLog() {
  return [](const std::string& line) {
    const std::string stamp = QTime::currentTime().toString("hh:mm:ss").toStdString();
    std::fprintf(stderr, "%s %s\n", stamp.c_str(), line.c_str());
    std::fflush(stderr);
  };
}

}  // namespace pelvane::peers
