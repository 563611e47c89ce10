// The application icon, drawn in code so the program and its installed PNG files share one
// picture: a contact card with a person's outline and a spreadsheet corner.
#pragma once

#include <QIcon>
#include <QImage>

namespace cw::app {

// The icon at `size` x `size` pixels, with a transparent background.
QImage DrawAppIcon(int size);

// The icon at the sizes window managers ask for.
QIcon AppIcon();

}  // namespace cw::app
