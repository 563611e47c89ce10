#include "app/main0.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QStandardPaths>
#include <QWidget>
#include <span>

#include "sheet/little_endian.h"

namespace cw::app {

bool FileExists(const QString& path) { return !path.isEmpty() && QFileInfo(path).isFile(); }

bool FolderExists(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

void CenterForm(QWidget& window) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->geometry();
  // Before the window is shown its frame is not known and the outer size is the inner one;
  // move() places the outer top-left corner either way.
  const QSize size = window.frameGeometry().size();
  window.move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
}

QString GetDesktopFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (!FolderExists(folder)) folder = QDir::homePath();
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

QString ApplicationFolder() {
  QString folder = QCoreApplication::applicationDirPath();
  while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
  return folder;
}

std::optional<QPoint> CursorHotSpot(const QByteArray& bytes) {
  // ICONDIR: reserved (2), type (2), count (2); ICONDIRENTRY: width, height, colours,
  // reserved (1 each), x hot spot (2), y hot spot (2), size (4), offset (4). Little-endian.
  constexpr qsizetype kDirSize = 6;
  constexpr qsizetype kEntrySize = 16;
  if (bytes.size() < kDirSize + kEntrySize) return std::nullopt;
  const auto raw = std::as_bytes(std::span(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  const auto u16 = [raw](qsizetype at) { return static_cast<int>(sheet::Le16(raw, static_cast<std::size_t>(at))); };
  if (u16(0) != 0 || u16(2) != 2 || u16(4) < 1) return std::nullopt;
  return QPoint(u16(kDirSize + 4), u16(kDirSize + 6));
}

std::optional<QCursor> LoadCursorFile(const QString& path) {
  // A pointer image is small; a huge file is not one.
  constexpr qint64 kMaxCursorBytes = 4 << 20;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxCursorBytes) return std::nullopt;
  const QByteArray bytes = file.readAll();
  QPixmap image;
  if (!image.loadFromData(bytes) || image.isNull()) return std::nullopt;
  const std::optional<QPoint> hot = CursorHotSpot(bytes);
  if (hot && hot->x() < image.width() && hot->y() < image.height()) return QCursor(image, hot->x(), hot->y());
  return QCursor(image);
}

}  // namespace cw::app
