// Text across the Qt edge: the cores hold UTF-8 in std::string, the widgets hold QString.
// Every Qt target converts here and nowhere else, so a name with "ö" or "名" reads the same in
// the window, in the workbook and in the files.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

namespace cw {

// UTF-8 text of the cores for a widget.
inline QString ToQString(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// A widget's text for the cores, as UTF-8.
inline std::string ToUtf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace cw
