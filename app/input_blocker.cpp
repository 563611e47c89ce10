#include "app/input_blocker.h"

#include <QCoreApplication>
#include <QEvent>

namespace cw::app {

InputBlocker::InputBlocker(QWidget* blocked) : blocked_(blocked) {
  QCoreApplication::instance()->installEventFilter(this);
}

InputBlocker::~InputBlocker() { QCoreApplication::instance()->removeEventFilter(this); }

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu: {
      auto* widget = qobject_cast<QWidget*>(watched);
      return blocked_ && widget && widget->window() == blocked_;
    }
    default:
      return false;
  }
}

}  // namespace cw::app
