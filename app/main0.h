// General helpers of the window: file existence, centring, the desktop folder, the
// application folder.
#pragma once

#include <QString>

class QWidget;

namespace cw::app {

// True when the file system reports a file (or folder) at `path`; false on any failure.
bool FileExists(const QString& path);

// Places `window` in the middle of the primary screen.
void CenterForm(QWidget& window);

// The desktop folder the platform reports, with one trailing "/".
QString GetDesktopFolder();

// The folder holding the executable, without a trailing "/".
QString ApplicationFolder();

}  // namespace cw::app
