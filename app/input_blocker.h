// Keeps the user's clicks and keys away from a window while a window of its own works (the
// sheet window, a running export), without making that window modal: a modal window would
// make the main window ignore its close button, and closing the main window always ends the
// program. Nothing is greyed: the busy pointer and the hover rules still show over it.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace cw::app {

class InputBlocker : public QObject {
 public:
  // Blocks input to `blocked` and its children until destroyed.
  explicit InputBlocker(QWidget* blocked);
  ~InputBlocker() override;
  InputBlocker(const InputBlocker&) = delete;
  InputBlocker& operator=(const InputBlocker&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> blocked_;
};

}  // namespace cw::app
