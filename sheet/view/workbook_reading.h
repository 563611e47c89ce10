// A workbook read on a worker thread for the sheet window, so that choosing a file never
// freezes the window: the sheet names and the first rows of the active sheet come first
// (through the engine's row stream, a few milliseconds even for a million rows), then the
// whole workbook. The window shows the first rows at once, how far reading has come, and
// takes the whole workbook when it is there. A failure is kept, with its exception, for the
// caller to report; a cancelled reading drops what it read.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sheet/block_rows.h"
#include "sheet/number_format.h"
#include "sheet/workbook.h"

namespace cw::sheet {

// Where a workbook comes from.
struct WorkbookSource {
  // The file, for how much of it has been read; may be empty (then no share is known).
  std::string path;
  // The whole workbook. Runs on the worker thread; throws with a description for the person.
  std::function<Workbook()> load;
  // The workbook opened for streaming, for the first rows before the whole is read. May be
  // empty; a stream that fails leaves the failure to `load`.
  std::function<std::unique_ptr<WorkbookStream>()> stream;
};

// The sheet names and the displayed texts of the first rows of the active sheet.
struct FirstRows {
  static constexpr std::uint32_t kRows = 1000;
  static constexpr std::uint32_t kColumns = 64;

  Workbook names;  // the sheets with their names and no cells; the active sheet
  std::size_t sheet = 0;
  std::vector<std::vector<std::string>> texts;  // by row, then column; trailing empty cells left out
  std::uint32_t columns = 0;                    // the widest row's cells
};

class WorkbookReading : public QObject {
  Q_OBJECT

 public:
  enum class State { kReading, kRead, kFailed, kCancelled };

  // Starts reading `source` on a worker thread; `locale` renders the first rows.
  WorkbookReading(WorkbookSource source, const FormatLocale& locale, QObject* parent = nullptr);
  // A workbook already in memory: read from the start.
  explicit WorkbookReading(Workbook workbook, QObject* parent = nullptr);
  // Cancels a reading still going on.
  ~WorkbookReading() override;

  State Status() const { return state_; }
  bool Reading() const { return state_ == State::kReading; }
  // The first rows, once they are read (nullptr before, and when the source gives no stream).
  const FirstRows* First() const { return first_.get(); }
  // The whole workbook once read; nullptr otherwise.
  const Workbook* Book() const { return book_.get(); }
  // The whole workbook, moved out (empty when not read).
  Workbook TakeBook();
  // Why reading failed; null unless failed.
  std::exception_ptr Failure() const { return failure_; }
  // Throws the failure again, when reading failed.
  void RethrowFailure() const;
  // The share of the file read so far, 0 to 1; nothing when it cannot be known.
  std::optional<double> Progress() const;
  // Stops waiting for the reading: what it still reads is dropped, and the worker stops as
  // soon as it reaches its next step. Nothing happens when it has ended.
  void Cancel();

 signals:
  void FirstRowsRead();
  // Reading has ended: read, failed or cancelled.
  void Ended();

 private:
  struct Shared;
  static void Work(std::shared_ptr<Shared> shared, WorkbookSource source, FormatLocale locale);
  void TakeFirst(std::unique_ptr<FirstRows> first);
  void TakeEnd(std::unique_ptr<Workbook> book, std::exception_ptr failure);

  State state_ = State::kReading;
  std::unique_ptr<FirstRows> first_;
  std::unique_ptr<Workbook> book_;
  std::exception_ptr failure_;
  std::shared_ptr<Shared> shared_;
  std::uint64_t file_size_ = 0;
};

}  // namespace cw::sheet
