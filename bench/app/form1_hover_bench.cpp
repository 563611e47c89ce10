// Times ten thousand mouse moves over the command buttons and the frames of the main window,
// as the hover rules receive them. Usage: form1_hover_bench   (any Qt platform, e.g. offscreen)
#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPushButton>
#include <cstdio>

#include "app/form1.h"
#include "commands/settings_store.h"

namespace {

class SilentDialogs : public cw::commands::Dialogs {
 public:
  cw::run::MessageAnswer Show(std::string_view, std::string_view, cw::run::MessageIcon,
                              cw::run::MessageButtons) override {
    return cw::run::MessageAnswer::kOk;
  }
  QString OpenFile(const QString&, const QString&) override { return {}; }
  QString BrowseFolder(const QString&) override { return {}; }
  std::optional<std::string> PickBlock(cw::sheet::WorkbookReading&, cw::sheet::FormatLocale) override { return {}; }
};

class MemoryStore : public cw::commands::SettingsStore {
 public:
  std::optional<QString> Read(const QString&, const QString&) const override { return QString(); }
  bool Write(const QString&, const QString&, const QString&) override { return true; }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  SilentDialogs dialogs;
  MemoryStore store;
  cw::app::Form1 form({dialogs, store, QString(), QStringLiteral("/"), nullptr, nullptr, {}, nullptr});
  form.Form_Load();
  form.show();
  for (int i = 0; i < 5; ++i) QApplication::processEvents();

  const QList<QWidget*> targets = {form.PushButton1, form.Frame1, form.PushButton2, form.Frame4,
                                   form.PushButton6, form.Frame2, form.PushButton4, form.Frame3};
  constexpr int kMoves = 10000;
  QElapsedTimer timer;
  timer.start();
  for (int i = 0; i < kMoves; ++i) {
    QWidget* target = targets[i % targets.size()];
    const QPointF local(target->width() / 2.0, target->height() / 2.0);
    QMouseEvent move(QEvent::MouseMove, local, target->mapToGlobal(local), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
  }
  const qint64 alternating_ns = timer.nsecsElapsed();

  timer.restart();
  for (int i = 0; i < kMoves; ++i) {
    const QPointF local(5, 5);
    QMouseEvent move(QEvent::MouseMove, local, form.PushButton1->mapToGlobal(local), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(form.PushButton1, &move);
  }
  const qint64 same_ns = timer.nsecsElapsed();

  std::printf("%d moves alternating between buttons and frames: %.2f ms (%.2f us a move)\n", kMoves,
              alternating_ns / 1e6, alternating_ns / 1e3 / kMoves);
  std::printf("%d moves over one button: %.2f ms (%.2f us a move)\n", kMoves, same_ns / 1e6, same_ns / 1e3 / kMoves);
  return 0;
}
