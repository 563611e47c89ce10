#include "app/background_export.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocale>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <exception>

#include "run/statements.h"
#include "sheet/view/qt_text.h"

namespace cw::app {
namespace {

// How often the progress dialog catches up with the worker's count.
constexpr int kTickMs = 100;

}  // namespace

BackgroundExport::BackgroundExport(QWidget* window, run::MessageSink& messages, run::FailureReporter& reporter,
                                   run::PointerControl& pointer)
    : window_(window), messages_(messages), reporter_(reporter), pointer_(pointer) {}

BackgroundExport::~BackgroundExport() { Abandon(); }

bool BackgroundExport::Running() const { return worker_ != nullptr; }

void BackgroundExport::Start(const SaveRunner& runner, vcard::ExportEncoding encoding,
                             const run::ExportInputs& inputs) {
  if (worker_) return;
  workbook_path_ = inputs.workbook_path;
  block_address_ = inputs.block_address;
  columns_ = inputs.columns;
  output_folder_ = inputs.output_folder;
  version_ = inputs.version;
  one_file_ = inputs.one_file;
  done_ = 0;
  total_ = 0;
  cancel_ = false;
  abandoned_ = false;

  progress_ = new QProgressDialog(window_);
  progress_->setWindowTitle(ToQString(run::kApplicationTitle));
  progress_->setLabelText(QStringLiteral("Reading the workbook..."));
  progress_->setCancelButtonText(QStringLiteral("Cancel"));
  // The window takes no input while the run works, but its close button still ends the
  // program (a modal dialog would make the window ignore it).
  progress_->setWindowModality(Qt::NonModal);
  blocker_ = std::make_unique<InputBlocker>(window_);
  progress_->setMinimumDuration(kProgressDelayMs);
  progress_->setRange(0, 0);  // a busy bar until the block's rows are counted
  progress_->setValue(0);     // starts the dialog's own half-second delay
  connect(progress_, &QProgressDialog::canceled, this, [this] { cancel_ = true; });
  ticker_ = new QTimer(this);
  connect(ticker_, &QTimer::timeout, this, &BackgroundExport::ShowProgress);
  ticker_->start(kTickMs);

  worker_ = QThread::create([this, runner, encoding] {
    const run::ExportInputs copy{workbook_path_, block_address_, columns_, output_folder_, version_, one_file_};
    RunOutside outside{*this, *this, *this, *this};
    try {
      runner(encoding, copy, outside);
    } catch (const std::exception& e) {
      // The engine could not even be created: say so rather than end the program.
      Show(run::FailureInWords(e), run::kApplicationTitle, run::MessageIcon::kExclamation, run::MessageButtons::kOk);
    }
  });
  connect(worker_, &QThread::finished, this, &BackgroundExport::Ended);
  worker_->start();
}

void BackgroundExport::ShowProgress() {
  // A modal progress dialog would handle events inside setValue; a tick never runs inside itself.
  if (!progress_ || in_tick_ || cancel_ || !progress_->isVisible()) return;
  const std::size_t total = total_;
  if (total == 0) return;
  in_tick_ = true;
  const std::size_t done = done_;
  progress_->setMaximum(static_cast<int>(total));
  progress_->setLabelText(QStringLiteral("Writing vCard files: %1 of %2 rows done.")
                              .arg(QLocale().toString(qulonglong(done)), QLocale().toString(qulonglong(total))));
  if (done >= total) ticker_->stop();  // the last value closes the dialog
  progress_->setValue(static_cast<int>(done));
  in_tick_ = false;
}

void BackgroundExport::Ended() {
  if (!worker_) return;
  worker_->wait();
  worker_->deleteLater();
  worker_ = nullptr;
  if (ticker_) ticker_->stop();
  delete ticker_;
  ticker_ = nullptr;
  delete progress_;
  progress_ = nullptr;
  blocker_.reset();
  emit Finished();
}

void BackgroundExport::Abandon() {
  if (!worker_) return;
  abandoned_ = true;
  cancel_ = true;
  // The worker may be waiting for a call carried to this thread: keep serving them (they
  // return at once now) until it has finished.
  while (!worker_->wait(QDeadlineTimer(20))) QCoreApplication::processEvents();
  Ended();
}

void BackgroundExport::OnWindowThread(const std::function<void()>& call) const {
  if (QThread::currentThread() == thread()) {
    call();
    return;
  }
  std::exception_ptr failure;
  QMetaObject::invokeMethod(
      const_cast<BackgroundExport*>(this),
      [&] {
        // Carried back to the worker, where the statement runner reports it like any failure.
        try {
          call();
        } catch (...) {
          failure = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (failure) std::rethrow_exception(failure);
}

run::MessageAnswer BackgroundExport::Show(std::string_view text, std::string_view title, run::MessageIcon icon,
                                          run::MessageButtons buttons) {
  run::MessageAnswer answer =
      buttons == run::MessageButtons::kYesNo ? run::MessageAnswer::kNo : run::MessageAnswer::kOk;
  OnWindowThread([&] {
    if (abandoned_) return;
    // A run's message box is its last word ("Done.", "Export cancelled. ...", a check that
    // failed): the progress dialog goes first, and never comes up behind the box.
    if (ticker_) ticker_->stop();
    if (progress_) progress_->reset();
    answer = messages_.Show(text, title, icon, buttons);
  });
  return answer;
}

void BackgroundExport::ShowApplicationError(std::string_view location, int statement, std::string_view description) {
  OnWindowThread([&] {
    if (!abandoned_) reporter_.ShowApplicationError(location, statement, description);
  });
}

run::PointerSetting BackgroundExport::Pointer() const {
  run::PointerSetting setting = run::PointerSetting::kDefault;
  OnWindowThread([&] { setting = pointer_.Pointer(); });
  return setting;
}

void BackgroundExport::SetPointer(run::PointerSetting setting) {
  OnWindowThread([&] { pointer_.SetPointer(setting); });
}

void BackgroundExport::RowsDone(std::size_t done, std::size_t total) {
  total_ = total;
  done_ = done;
}

bool BackgroundExport::CancelRequested() { return cancel_; }

}  // namespace cw::app
