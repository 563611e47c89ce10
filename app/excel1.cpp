#include "app/excel1.h"

#include <QFile>
#include <QFileInfo>
#include <exception>

#include "app/main0.h"

namespace cw::app {

QStringList OwnerFilePaths(const QString& workbook_path) {
  const QFileInfo info(workbook_path);
  const QString folder = info.path() + QLatin1Char('/');
  const QString name = info.fileName();
  return {folder + QStringLiteral("~$") + name, folder + QStringLiteral(".~lock.") + name + QLatin1Char('#')};
}

bool ExcelIsRunning(const QString& workbook_path) {
  if (workbook_path.isEmpty()) return false;
  for (const QString& owner : OwnerFilePaths(workbook_path)) {
    if (FileExists(owner)) return true;
  }
  return false;
}

QString OwnerProgram(const QString& workbook_path) {
  if (workbook_path.isEmpty()) return {};
  const QStringList owners = OwnerFilePaths(workbook_path);
  if (FileExists(owners[0])) return QStringLiteral("Excel");
  if (!FileExists(owners[1])) return {};
  // A lock file is one line: ",user name,host,time,profile URL;" (LibreOffice and OpenOffice
  // write the same format); the profile URL tells the two apart. Only its start is read.
  QFile lock(owners[1]);
  QString line;
  if (lock.open(QIODevice::ReadOnly)) line = QString::fromUtf8(lock.read(4096));
  const QString profile = line.section(QLatin1Char(','), -1);
  if (profile.contains(QStringLiteral("openoffice"), Qt::CaseInsensitive) &&
      !profile.contains(QStringLiteral("libreoffice"), Qt::CaseInsensitive)) {
    return QStringLiteral("OpenOffice");
  }
  return QStringLiteral("LibreOffice");
}

std::string OpenElsewhereText(const QString& program) {
  if (program == QStringLiteral("Excel")) return kExcelOpenText;
  return (program + QStringLiteral(" may be open. It is recommended that you close ") + program +
          QStringLiteral(" first.\r\n\r\nWould you like to proceed anyway?"))
      .toStdString();
}

bool WarnIfExcelOpen(const QString& workbook_path, run::MessageSink& messages) {
  const QString program = OwnerProgram(workbook_path);
  if (program.isEmpty()) return false;
  const run::MessageAnswer answer = messages.Show(OpenElsewhereText(program), run::kApplicationTitle,
                                                  run::MessageIcon::kNone, run::MessageButtons::kYesNo);
  return answer != run::MessageAnswer::kYes;
}

void CheckExcelInstalled(const EngineFactory& make_engine, run::MessageSink& messages) {
  std::unique_ptr<run::SheetEngine> engine;
  try {
    if (make_engine) engine = make_engine();
  } catch (const std::exception&) {
    engine.reset();
  }
  if (!engine) {
    messages.Show(kExcelNotInstalledText, run::kApplicationTitle, run::MessageIcon::kNone, run::MessageButtons::kOk);
  }
}

}  // namespace cw::app
