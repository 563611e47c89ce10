// The dialogs seam with Qt: QMessageBox, QFileDialog and the sheet window, modal to the main
// window.
#pragma once

#include <QPointer>
#include <QWidget>

#include "commands/dialogs.h"

namespace cw::app {

class QtDialogs : public commands::Dialogs {
 public:
  void SetOwner(QWidget* owner) { owner_ = owner; }

  run::MessageAnswer Show(std::string_view text, std::string_view title, run::MessageIcon icon,
                          run::MessageButtons buttons) override;
  QString OpenFile(const QString& title, const QString& filter) override;
  QString BrowseFolder(const QString& title) override;
  std::optional<std::string> PickBlock(sheet::WorkbookReading& reading, sheet::FormatLocale locale) override;

 private:
  QPointer<QWidget> owner_;
};

// A box's text as a label shows it: CR LF and a lone CR each break the line.
QString DisplayText(std::string_view text);

}  // namespace cw::app
