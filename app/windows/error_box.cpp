#include "app/windows/error_box.h"

#include <QMessageBox>
#include <QString>

#include "app/session/error_reporter.h"
#include "app/windows/edge_text.h"
#include "crypto/formats/charset.h"

namespace pelvane {

void MessageBoxReporter::ReportError(std::string_view message) noexcept {
  try {
    const QString title = QString::fromUtf8(kApplicationTitle.data(),
                                            static_cast<qsizetype>(kApplicationTitle.size()));
    // A message may quote received bytes: control bytes are shown escaped.
    QMessageBox box(QMessageBox::Critical, title, Cp1250ToQString(EscapeControlBytes(message)),
                    QMessageBox::Ok);
    box.exec();
  } catch (...) {
    // Showing the box failed; the message must not escape an event handler.
  }
}

}  // namespace pelvane
