#include "app/qt_dialogs.h"

#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>

#include "app/input_blocker.h"
#include "sheet/view/qt_text.h"
#include "sheet/view/sheet_window.h"
#include "sheet/view/workbook_reading.h"

namespace cw::app {

namespace {

// Room a title bar takes beside its caption: the icon and the buttons.
constexpr int kTitleBarExtra = 160;

}  // namespace

QString DisplayText(std::string_view text) {
  QString shown = ToQString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

run::MessageAnswer QtDialogs::Show(std::string_view text, std::string_view title, run::MessageIcon icon,
                                   run::MessageButtons buttons) {
  QMessageBox box(owner_);
  box.setWindowTitle(ToQString(title.empty() ? run::kApplicationTitle : title));
  box.setTextFormat(Qt::PlainText);
  box.setText(DisplayText(text));
  box.setIcon(icon == run::MessageIcon::kExclamation ? QMessageBox::Warning : QMessageBox::NoIcon);
  if (buttons == run::MessageButtons::kYesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  // Wide enough for its title: a short text such as "Done." would make the window manager
  // cut the caption to "...".
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    const int width = box.fontMetrics().horizontalAdvance(box.windowTitle()) + kTitleBarExtra;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                  grid->columnCount());
  }
  const int answer = box.exec();
  if (answer == QMessageBox::Yes) return run::MessageAnswer::kYes;
  if (answer == QMessageBox::No) return run::MessageAnswer::kNo;
  return run::MessageAnswer::kOk;
}

QString QtDialogs::OpenFile(const QString& title, const QString& filter) {
  return QFileDialog::getOpenFileName(owner_, title, QString(), filter);
}

QString QtDialogs::BrowseFolder(const QString& title) {
  // Nothing preselected: the browser starts at the user's home, not at the folder in the box.
  return QFileDialog::getExistingDirectory(owner_, title, QDir::homePath(), QFileDialog::ShowDirsOnly);
}

std::optional<std::string> QtDialogs::PickBlock(sheet::WorkbookReading& reading, sheet::FormatLocale locale) {
  sheet::SheetWindow window(reading, locale, owner_);
  // Not modal to the application: a modal window would make the main window ignore its close
  // button, and closing the main window ends the program even while a block is being marked
  // (Form1::closeEvent ends this loop). The main window takes no input meanwhile.
  window.setWindowModality(Qt::NonModal);
  const InputBlocker blocker(owner_);
  QEventLoop loop;
  QObject::connect(&window, &QDialog::finished, &loop, &QEventLoop::quit);
  window.show();
  loop.exec();
  if (window.result() != QDialog::Accepted) return std::nullopt;
  return window.Address();
}

}  // namespace cw::app
