// Build step: writes the application icon as PNG files for installation.
// Usage: cardwright_make_icon OUTDIR   (writes cardwright-<size>.png for 16..256)
#include <QString>
#include <cstdio>

#include "app/app_icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    const QString path = folder + QStringLiteral("/cardwright-%1.png").arg(size);
    if (!cw::app::DrawAppIcon(size).save(path, "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", path.toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}
