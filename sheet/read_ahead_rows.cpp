#include "sheet/read_ahead_rows.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace cw::sheet {
namespace {

// Rows go across in batches, so the threads meet once per batch, not once per row; at most
// kBatches of them are read and not yet taken, which bounds memory to a window of rows. A
// batch ends early once its texts hold kBatchBytes, so rows of long cells keep the window
// to a few megabytes too; and a row's storage kept for reuse lets a long text go.
constexpr std::size_t kBatchRows = 64;
constexpr std::size_t kBatches = 4;
constexpr std::size_t kBatchBytes = std::size_t{1} << 20;
constexpr std::size_t kMostKeptBytes = std::size_t{64} << 10;

std::size_t TextBytes(const std::vector<std::string>& texts, bool capacity) {
  std::size_t bytes = 0;
  for (const auto& text : texts) bytes += capacity ? text.capacity() : text.size();
  return bytes;
}

class ReadAheadRows : public BlockRows {
 public:
  explicit ReadAheadRows(std::unique_ptr<BlockRows> rows) : rows_(std::move(rows)) {}
  // False when no thread could be started; the rows are then given back.
  bool Start() {
    try {
      thread_ = std::thread([this] { Work(); });
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  }
  std::unique_ptr<BlockRows> GiveBack() { return std::move(rows_); }
  ~ReadAheadRows() override { Stop(); }
  ReadAheadRows(const ReadAheadRows&) = delete;
  ReadAheadRows& operator=(const ReadAheadRows&) = delete;

  bool NextRow(std::vector<std::string>& texts) override {
    while (at_ == current_.count) {
      if (current_.end) return false;
      if (current_.error) std::rethrow_exception(current_.error);
      TakeBatch();
    }
    Row& row = current_.rows[at_++];
    texts.swap(row.texts);  // the caller's last row goes back to be filled again
    GivenDates().swap(row.dates);
    GivenErrors().swap(row.errors);
    return true;
  }

  void Finish() override {
    Stop();
    if (broken_) std::rethrow_exception(broken_);
    rows_->Finish();
  }

 private:
  struct Row {
    std::vector<std::string> texts;
    RowDates dates;
    RowErrors errors;
  };
  struct Batch {
    std::vector<Row> rows;  // the first `count` are read
    std::size_t count = 0;
    bool end = false;          // after them, the block's end
    std::exception_ptr error;  // or the error its reading met
  };

  // The reading thread: batches of rows until the block ends, reading fails, or Stop.
  void Work() {
    try {
      for (bool last = false; !last;) {
        Batch batch;
        {
          std::unique_lock lock(mutex_);
          changed_.wait(lock, [&] { return stop_ || full_.size() < kBatches; });
          if (stop_) return;
          if (!spare_.empty()) {
            batch = std::move(spare_.back());
            spare_.pop_back();
          }
        }
        last = Fill(batch);
        {
          const std::lock_guard lock(mutex_);
          full_.push_back(std::move(batch));
        }
        changed_.notify_all();
      }
    } catch (...) {  // the queue's own storage failed: the rows stop with that error
      {
        const std::lock_guard lock(mutex_);
        broken_ = std::current_exception();
      }
      changed_.notify_all();
    }
  }

  // Reads up to a batch of rows; true when the block ended or reading failed after them.
  bool Fill(Batch& batch) {
    batch.count = 0;
    batch.end = false;
    batch.error = nullptr;
    std::size_t bytes = 0;
    while (batch.count < kBatchRows && bytes < kBatchBytes) {
      if (batch.count == batch.rows.size()) batch.rows.emplace_back();
      Row& row = batch.rows[batch.count];
      try {
        if (!rows_->NextRow(row.texts)) {
          batch.end = true;
          return true;
        }
      } catch (...) {
        batch.error = std::current_exception();
        return true;
      }
      rows_->TakeRowDetails(row.dates, row.errors);
      bytes += TextBytes(row.texts, false);
      ++batch.count;
    }
    return false;
  }

  // Gives the batch just served back for reuse and waits for the next.
  void TakeBatch() {
    std::unique_lock lock(mutex_);
    if (!current_.rows.empty()) {
      for (Row& row : current_.rows) {
        if (TextBytes(row.texts, true) > kMostKeptBytes) row.texts = {};
      }
      spare_.push_back(std::move(current_));
    }
    current_ = {};
    at_ = 0;
    changed_.notify_all();
    changed_.wait(lock, [&] { return !full_.empty() || broken_; });
    if (full_.empty()) std::rethrow_exception(broken_);
    current_ = std::move(full_.front());
    full_.pop_front();
  }

  void Stop() {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  std::unique_ptr<BlockRows> rows_;
  Batch current_;       // the batch being served
  std::size_t at_ = 0;  // its next row

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Batch> full_;
  std::vector<Batch> spare_;
  bool stop_ = false;
  std::exception_ptr broken_;
  std::thread thread_;
};

}  // namespace

std::unique_ptr<BlockRows> ReadAhead(std::unique_ptr<BlockRows> rows) {
  if (!rows) return rows;
  auto ahead = std::make_unique<ReadAheadRows>(std::move(rows));
  if (!ahead->Start()) return ahead->GiveBack();  // read directly
  return ahead;
}

}  // namespace cw::sheet
