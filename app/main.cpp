// cardwright: the main window and its start-up.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "app/form1.h"
#include "app/main0.h"
#include "app/qt_dialogs.h"
#include "app/save_command.h"
#include "commands/settings_store.h"
#include "run/malloc_arenas.h"
#include "run/regional_settings.h"
#include "run/spreadsheet.h"
#include "run/statements.h"
#include "sheet/workbook_file.h"

namespace {

// No exception ends the program: one that escapes a command's own reports (a failed
// allocation while a report is built, say) is shown in words and the window goes on.
class Application : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      Report(cw::run::FailureInWords(e));
    } catch (...) {
      Report("An unexpected failure stopped the command.");
    }
    return false;
  }

 private:
  static void Report(const char* text) {
    try {
      QMessageBox::critical(nullptr,
                            QString::fromLatin1(cw::run::kApplicationTitle.data(),
                                                static_cast<qsizetype>(cw::run::kApplicationTitle.size())),
                            QString::fromUtf8(text));
    } catch (...) {  // no memory even for the box: the command ends without it
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  cw::run::LimitMallocArenas();
  Application application(argc, argv);
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
      [&regional] { return cw::run::MakeSheetEngine(regional.format, regional.read); },
      // Both run on the sheet window's worker thread, which may outlive this function's locals.
      [read = regional.read](const std::string& path) { return cw::sheet::ReadWorkbookFile(path, read); },
      regional.format,
      cw::app::ExportSaveRunner(clock, regional),
      [read = regional.read](const std::string& path) { return cw::sheet::OpenWorkbookStreamFile(path, read); },
  });
  dialogs.SetOwner(&form);
  form.Form_Load();
  form.show();
  // Closing the window ends the program; nothing is saved on the way out.
  return QApplication::exec();
}
