// The one seam through which the window's commands show anything modal: message boxes, the
// "Application Error" report, the file-open dialog, the folder browser and the sheet window
// that marks a block. The program implements it with Qt (app/qt_dialogs.h); tests answer it
// with a fake, so no test ever blocks on a box.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "run/environment.h"
#include "sheet/number_format.h"
#include "sheet/workbook.h"

namespace cw::sheet {
class WorkbookReading;
}

namespace cw::commands {

inline constexpr std::string_view kApplicationErrorTitle = "Application Error";

class Dialogs : public run::MessageSink, public run::FailureReporter {
 public:
  // The file-open dialog: the chosen file's full path, "" when the user cancels.
  virtual QString OpenFile(const QString& title, const QString& filter) = 0;
  // The folder browser (folders only, nothing preselected): the chosen folder's path, "" on cancel.
  virtual QString BrowseFolder(const QString& title) = 0;
  // The sheet window over a workbook being read (or read): the marked block's address,
  // nothing when the user cancels or the reading fails (the reading then holds why).
  virtual std::optional<std::string> PickBlock(sheet::WorkbookReading& reading, sheet::FormatLocale locale) = 0;

  // The report of a command's failure: the report text in a box titled "Application Error"
  // with the exclamation icon and OK only.
  void ShowApplicationError(std::string_view location, int statement, std::string_view description) final;
};

}  // namespace cw::commands
