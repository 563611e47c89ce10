// cardwright: the main window and its start-up.
#include <QApplication>
#include <exception>

#include "app/form1.h"
#include "app/main0.h"
#include "app/qt_dialogs.h"
#include "app/save_command.h"
#include "commands/settings_store.h"
#include "run/regional_settings.h"
#include "run/spreadsheet.h"
#include "sheet/workbook_file.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Cardwright"));
  QApplication::setOrganizationName(QStringLiteral("Marrowind"));
  QApplication::setDesktopFileName(QStringLiteral("cardwright"));

  const cw::run::RegionalSettings regional = cw::run::RegionalSettings::FromEnvironment();
  cw::app::QtDialogs dialogs;
  cw::commands::IniSettingsStore settings;
  cw::run::SystemClock clock;

  cw::app::Form1 form({
      dialogs,
      settings,
      cw::app::ApplicationFolder(),
      cw::app::GetDesktopFolder(),
      [&regional] { return cw::run::MakeSheetEngine(regional.format); },
      [](const std::string& path) { return cw::sheet::ReadWorkbookFile(path); },
      regional.format,
      cw::app::ExportSaveRunner(clock, regional),
  });
  dialogs.SetOwner(&form);
  form.Form_Load();
  form.show();
  // Closing the window ends the program; nothing is saved on the way out.
  return QApplication::exec();
}
