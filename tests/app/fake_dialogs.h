// A dialogs seam that records every box and answers from a script, so no test blocks.
#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "commands/dialogs.h"
#include "sheet/view/sheet_window.h"
#include "sheet/view/workbook_reading.h"

namespace cw::test {

struct ShownBox {
  std::string text;
  std::string title;
  run::MessageIcon icon;
  run::MessageButtons buttons;
};

class FakeDialogs : public commands::Dialogs {
 public:
  std::vector<ShownBox> boxes;
  bool off_window_thread = false;          // a box was asked for from another thread than the window's
  std::deque<run::MessageAnswer> answers;  // answers for Yes/No boxes, in order
  std::vector<std::pair<QString, QString>> open_requests;
  QString open_answer;
  std::vector<QString> folder_requests;
  QString folder_answer;
  std::string folder_failure;  // when set, the folder browser fails with this description
  int picks = 0;               // sheet windows in which a block could be marked (the workbook was read)
  // Works the real sheet window as a user would; returns whether to press OK. Unset: Cancel.
  std::function<bool(sheet::SheetWindow&)> pick;

  run::MessageAnswer Show(std::string_view text, std::string_view title, run::MessageIcon icon,
                          run::MessageButtons buttons) override {
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) off_window_thread = true;
    boxes.push_back({std::string(text), std::string(title), icon, buttons});
    if (buttons == run::MessageButtons::kOk) return run::MessageAnswer::kOk;
    if (answers.empty()) throw std::logic_error("unexpected Yes/No box");
    const run::MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  QString OpenFile(const QString& title, const QString& filter) override {
    open_requests.emplace_back(title, filter);
    return open_answer;
  }
  QString BrowseFolder(const QString& title) override {
    folder_requests.push_back(title);
    if (!folder_failure.empty()) throw std::runtime_error(folder_failure);
    return folder_answer;
  }
  // The real sheet window; the script works it once the workbook is read, as a user would
  // work a small one.
  std::optional<std::string> PickBlock(sheet::WorkbookReading& reading, sheet::FormatLocale locale) override {
    sheet::SheetWindow window(reading, locale);
    // Events only: an event loop would end at once after a test closed a main window.
    while (reading.Reading()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!reading.Book()) return std::nullopt;
    ++picks;
    if (!pick || !pick(window)) return std::nullopt;
    return window.Address();
  }
};

}  // namespace cw::test
