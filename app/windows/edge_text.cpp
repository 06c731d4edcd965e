#include "app/windows/edge_text.h"

#include <QByteArray>

#include "crypto/formats/charset.h"

namespace pelvane {

QString Cp1250ToQString(std::string_view cp1250) {
  const std::string utf8 = Cp1250ToUtf8(cp1250);
  QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  text.replace(QChar(u'\0'), QChar(QChar::ReplacementCharacter));
  return text;
}

std::string QStringToUtf8(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

}  // namespace pelvane
