#include "app/qt_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "sheet/view/sheet_window.h"

namespace cw::app {

QString DisplayText(std::string_view text) {
  QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

run::MessageAnswer QtDialogs::Show(std::string_view text, std::string_view title, run::MessageIcon icon,
                                   run::MessageButtons buttons) {
  QMessageBox box(owner_);
  box.setWindowTitle(title.empty() ? QString::fromUtf8(run::kApplicationTitle.data(), run::kApplicationTitle.size())
                                   : QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
  box.setTextFormat(Qt::PlainText);
  box.setText(DisplayText(text));
  box.setIcon(icon == run::MessageIcon::kExclamation ? QMessageBox::Warning : QMessageBox::NoIcon);
  if (buttons == run::MessageButtons::kYesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
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

std::optional<std::string> QtDialogs::PickBlock(const sheet::Workbook& workbook, sheet::FormatLocale locale) {
  sheet::SheetWindow window(workbook, locale, owner_);
  if (window.exec() != QDialog::Accepted) return std::nullopt;
  return window.Address();
}

}  // namespace cw::app
