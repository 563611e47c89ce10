// General helpers of the window: file existence, centring, the desktop folder, the
// application folder.
#pragma once

#include <QByteArray>
#include <QCursor>
#include <QPoint>
#include <QString>
#include <optional>

class QWidget;

namespace cw::app {

// What "exists" means at the window, as in the export run's checks: a file is a regular file
// (or a link to one), a folder a directory. Neither is ever true for an empty path, and
// neither fails.
bool FileExists(const QString& path);
bool FolderExists(const QString& path);

// Places `window` in the middle of the primary screen by its outer size, the window
// manager's frame included once the window is shown and its frame is known.
void CenterForm(QWidget& window);

// The desktop folder the platform reports, with one trailing "/"; the home folder when that
// desktop folder does not exist (an account without a desktop environment has none).
QString GetDesktopFolder();

// The folder holding the executable, without a trailing "/".
QString ApplicationFolder();

// The hot spot of the first image of a Windows cursor file (.cur): ICONDIR type 2, then the
// first ICONDIRENTRY's x and y hot spot at +4 and +6 of the entry. Nothing for other data.
std::optional<QPoint> CursorHotSpot(const QByteArray& bytes);

// The pointer image of a .cur file with its hot spot; nothing when the file cannot be read as
// an image.
std::optional<QCursor> LoadCursorFile(const QString& path);

}  // namespace cw::app
