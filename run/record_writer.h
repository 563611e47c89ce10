// Writes the export's record files on a second thread, so creating files (the slow part of
// an export, spent in the file system) overlaps with reading and composing the next rows.
// The file statements keep their numbers and their order: the writer runs them under the
// statement protocol with a collecting reporter, and the export forwards what they report
// on its own thread, before anything it reports itself.
//
// Files travel to the writer in batches, so the two threads meet once per batch, not once
// per row: Submit only appends to the batch being filled, a full batch is handed over under
// one lock, and the writer is woken only when it sleeps. At most kMaxBatches batches are on
// their way, which bounds the memory of a run by a window of rows.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "run/environment.h"
#include "vcard/record_file.h"

namespace cw::run {

// The numbers of the three file statements of one save command.
struct FileStatements {
  int create;
  int write;
  int close;
};

class RecordWriter {
 public:
  struct Job {
    std::string path;
    std::string bytes;                       // the whole file content
    std::optional<std::string> bytes_error;  // why the content could not be made, if it could not
    std::size_t row = 0;                     // the block row it holds, from 1
  };
  // Files that failed for this many rows in a row stop the writer: the disk is full or the
  // folder gone, and every further row would only fail the same way.
  static constexpr std::size_t kFailedRowsToStop = 3;
  struct Stop {
    std::size_t row;          // the row whose failure stopped the writer
    std::string description;  // why its file failed: the first report of that row
  };
  struct Report {
    int statement;
    std::string description;
  };

  RecordWriter(FileStatements statements, std::string location);
  ~RecordWriter();
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  // Queues one file; waits while many are queued, so memory stays bounded.
  void Submit(Job job);
  // The reports of the files written so far, in order, without waiting for the rest.
  std::vector<Report> TakeFinished();
  // Waits until every queued file is written and returns the reports not yet taken.
  std::vector<Report> Drain();
  // Files completed so far (created, written and closed without a failure).
  std::size_t FilesWritten() const;
  // Set once kFailedRowsToStop rows in a row have failed; jobs after that are dropped unwritten.
  std::optional<Stop> Stopped() const;

  static constexpr std::size_t kBatchSize = 64;
  static constexpr std::size_t kMaxBatches = 8;

 private:
  using Batch = std::vector<Job>;
  void Run();
  void HandOver();  // the batch being filled goes to the writer
  std::vector<Report> Write(const Job& job);
  void Keep(std::vector<Report> reports);

  const FileStatements statements_;
  const std::string location_;
  Batch filling_;  // the submitting thread's alone
  mutable std::mutex mutex_;
  std::condition_variable work_;   // a batch is queued, or the writer must stop
  std::condition_variable space_;  // a batch is done
  std::deque<Batch> queue_;
  std::vector<Report> reports_;
  std::size_t in_flight_ = 0;  // batches queued or being written
  bool writer_waiting_ = false;
  bool submitter_waiting_ = false;
  std::size_t failed_in_a_row_ = 0;              // the writing thread's alone
  std::unique_ptr<vcard::OutputFolder> folder_;  // the writing thread's alone: the folder of the last file
  std::optional<Stop> stop_;                     // under mutex_
  std::atomic<bool> stopped_{false};             // stop_ is set: read without the lock on every row
  bool stopping_ = false;
  std::atomic<bool> have_reports_{false};
  std::atomic<std::size_t> written_{0};
  std::thread thread_;  // not joinable when no thread could be started: files are then written in Submit
};

// A reporter that forwards the writer's reports before each of its own, keeping the order
// in which the statements ran.
class OrderedReporter : public FailureReporter {
 public:
  OrderedReporter(FailureReporter& target, RecordWriter& writer) : target_(target), writer_(writer) {}
  void ShowApplicationError(std::string_view location, int statement, std::string_view description) override;
  // Forwards what the writer has reported so far; with `wait`, after all queued files are done.
  void Flush(std::string_view location, bool wait);

 private:
  FailureReporter& target_;
  RecordWriter& writer_;
};

}  // namespace cw::run
