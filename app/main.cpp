// cardwright: the main window and its start-up.
#include <QApplication>
#include <exception>

#include "app/form1.h"
#include "app/main0.h"
#include "app/qt_dialogs.h"
#include "app/save_command.h"
#include "commands/settings_store.h"
#include "sheet/workbook_file.h"
#include "vcard/regional_settings.h"
#include "vcard/spreadsheet.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Cardwright"));
  QApplication::setOrganizationName(QStringLiteral("Marrowind"));
  QApplication::setDesktopFileName(QStringLiteral("cardwright"));

  const cw::vcard::RegionalSettings regional = cw::vcard::RegionalSettings::FromEnvironment();
  cw::app::QtDialogs dialogs;
  cw::commands::IniSettingsStore settings;
  cw::vcard::SystemClock clock;

  cw::app::Form1 form({
      dialogs,
      settings,
      cw::app::ApplicationFolder(),
      cw::app::GetDesktopFolder(),
      [&regional] { return cw::vcard::MakeSheetEngine(regional.format); },
      [](const std::string& path) { return cw::sheet::ReadWorkbookFile(path); },
      regional.format,
      cw::app::ExportSaveRunner(dialogs, clock, regional),
  });
  dialogs.SetOwner(&form);
  form.Form_Load();
  form.show();
  // Closing the window ends the program; nothing is saved on the way out.
  return QApplication::exec();
}
