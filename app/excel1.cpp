#include "app/excel1.h"

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

bool WarnIfExcelOpen(const QString& workbook_path, run::MessageSink& messages) {
  if (!ExcelIsRunning(workbook_path)) return false;
  const run::MessageAnswer answer =
      messages.Show(kExcelOpenText, run::kApplicationTitle, run::MessageIcon::kNone, run::MessageButtons::kYesNo);
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
