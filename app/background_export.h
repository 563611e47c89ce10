// A save command's export run on a worker thread, so the window stays alive while it works:
// it repaints, the desktop never calls it "not responding", and after half a second a
// progress dialog shows the rows done of the rows in the block with a Cancel button.
//
// The run's boxes, failure reports and pointer changes still happen on the window's thread,
// in statement order: each call from the worker is carried over and the worker waits until
// it returns, so while an "Application Error" box is open the run waits, as it always did.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "app/input_blocker.h"
#include "mapping/column_list.h"
#include "run/environment.h"
#include "run/export_run.h"

class QProgressDialog;
class QThread;
class QTimer;
class QWidget;

namespace cw::app {

// What a run sees of the window: every call is carried to the window's thread.
struct RunOutside {
  run::MessageSink& messages;
  run::FailureReporter& reporter;
  run::PointerControl& pointer;
  run::RunProgress& progress;
};

// A save command's run, called on the worker thread.
using SaveRunner =
    std::function<void(vcard::ExportEncoding encoding, const run::ExportInputs& inputs, RunOutside& outside)>;

inline constexpr int kProgressDelayMs = 500;

class BackgroundExport : public QObject,
                         private run::MessageSink,
                         private run::FailureReporter,
                         private run::PointerControl,
                         private run::RunProgress {
  Q_OBJECT

 public:
  // `window` owns the progress dialog; the three seams are used on the window's thread only.
  BackgroundExport(QWidget* window, run::MessageSink& messages, run::FailureReporter& reporter,
                   run::PointerControl& pointer);
  ~BackgroundExport() override;

  // Starts `runner` on a worker thread with a copy of the inputs, so the window may change
  // while the run works. Returns at once.
  void Start(const SaveRunner& runner, vcard::ExportEncoding encoding, const run::ExportInputs& inputs);
  bool Running() const;
  // The progress dialog, once created (it shows itself after half a second).
  QProgressDialog* Progress() const { return progress_; }

  // The program ends: the run stops before its next row, shows no more boxes, and this
  // returns once the worker has finished.
  void Abandon();

 signals:
  // The run has ended and its worker is gone.
  void Finished();

 private:
  // Seen from the worker.
  run::MessageAnswer Show(std::string_view text, std::string_view title, run::MessageIcon icon,
                          run::MessageButtons buttons) override;
  void ShowApplicationError(std::string_view location, int statement, std::string_view description) override;
  run::PointerSetting Pointer() const override;
  void SetPointer(run::PointerSetting setting) override;
  void RowsDone(std::size_t done, std::size_t total) override;
  bool CancelRequested() override;

  // Runs `call` on the window's thread and waits for it; an exception it throws is rethrown
  // here, on the worker, where the statement runner reports it.
  void OnWindowThread(const std::function<void()>& call) const;
  void ShowProgress();
  void Ended();

  QPointer<QWidget> window_;
  run::MessageSink& messages_;
  run::FailureReporter& reporter_;
  run::PointerControl& pointer_;

  QThread* worker_ = nullptr;
  QProgressDialog* progress_ = nullptr;
  QTimer* ticker_ = nullptr;
  std::unique_ptr<InputBlocker> blocker_;
  bool in_tick_ = false;

  // The run's own copy of the window's inputs.
  std::string workbook_path_, block_address_, output_folder_;
  mapping::ColumnList columns_;
  vcard::VCardVersion version_ = vcard::VCardVersion::k21;
  bool one_file_ = false;

  std::atomic<std::size_t> done_{0};
  std::atomic<std::size_t> total_{0};
  std::atomic<bool> cancel_{false};
  std::atomic<bool> abandoned_{false};
};

}  // namespace cw::app
