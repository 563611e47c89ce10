// Writes the export's record files on writer threads of their own, so creating files (the
// slow part of an export, spent in the file system) overlaps with reading and composing the
// next rows. The file statements keep their numbers and their order: the writers run them
// under the statement protocol with a collecting reporter, and the export forwards what they
// report on its own thread, before anything it reports itself.
//
// Files travel to the writers in batches, so the threads meet once per batch, not once per
// row: Submit only appends to the batch being filled, a full batch is handed over under one
// lock, and a writer is woken only when one sleeps. At most kMaxBatches batches are on their
// way, which bounds the memory of a run by a window of rows.
//
// Each file of that window is open from its creation to its close (an unnamed file has no
// other hold on its bytes), so the window is also cut to what the process's open-file limit
// leaves: a run under a limit of 64 writes smaller batches, fewer at a time, rather than
// failing rows with "Too many open files".
//
// The writers take whole batches, and the submitting thread writes batches too whenever the
// window is full (the rows then come faster than the files go), so the work of a run spreads
// over every core whichever side is the slower: one writer per core but one. A file is
// written in two halves: creating and writing it (an unnamed file, which no one sees) runs on
// any thread at once; closing it, which gives it its name, runs batch after batch in the
// order of the rows. So the names appear in row order, the reports come in statement order,
// and a stop after failing rows drops exactly the rows after it, as with a single writer.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "run/environment.h"
#include "run/statements.h"
#include "vcard/record_file.h"
#include "vcard/vcard_record.h"

namespace cw::run {

// The numbers of the three file statements of one save command.
struct FileStatements {
  int create;
  int write;
  int close;
};

// A report that a writer thread collected, to be shown on the run's thread.
struct WriterReport {
  int statement;
  std::string description;
};

// Collects what a writer thread's statements report, for the run's thread to show.
class CollectingReporter : public FailureReporter {
 public:
  void ShowApplicationError(std::string_view, int statement, std::string_view description) override {
    reports.push_back({statement, std::string(description)});
  }
  std::vector<WriterReport> reports;
};

// The record's numbered steps run under a command's statement protocol.
class StatementSteps : public vcard::RecordSteps {
 public:
  explicit StatementSteps(Statements& statements) : statements_(statements) {}
  bool Test(int statement, const std::function<bool()>& test) override { return statements_.Test(statement, test); }
  bool Step(int statement, const std::function<void()>& step) override { return statements_.Step(statement, step); }

 private:
  Statements& statements_;
};

// What a writer working beside the run has reported, forwarded by OrderedReporter.
class ReportSource {
 public:
  virtual ~ReportSource() = default;
  // The reports of the work finished so far, in order, without waiting for the rest.
  virtual std::vector<WriterReport> TakeFinished() = 0;
  // Waits until every queued piece of work is done and returns the reports not yet taken.
  virtual std::vector<WriterReport> Drain() = 0;
};

class RecordWriter : public ReportSource {
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
  using Report = WriterReport;

  // `writers`: how many threads write files; 0 for one per core but one, up to kMostWriters.
  explicit RecordWriter(FileStatements statements, std::string location, unsigned writers = 0);
  ~RecordWriter() override;
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  // Queues one file; waits while many are queued, so memory stays bounded.
  void Submit(Job job);
  // The reports of the files written so far, in order, without waiting for the rest.
  std::vector<Report> TakeFinished() override;
  // Waits until every queued file is written and returns the reports not yet taken.
  std::vector<Report> Drain() override;
  // Files completed so far (created, written and closed without a failure).
  std::size_t FilesWritten() const;
  // Set once kFailedRowsToStop rows in a row have failed; jobs after that are dropped unwritten.
  std::optional<Stop> Stopped() const;

  static constexpr std::size_t kBatchSize = 64;
  static constexpr std::size_t kMaxBatches = 8;
  // A batch goes as soon as its files hold this many bytes: rows of long notes or photos keep
  // the window to a few megabytes, however many rows it holds.
  static constexpr std::size_t kBatchBytes = std::size_t{2} << 20;
  static constexpr unsigned kMostWriters = 4;
  // Descriptors left to the rest of the program beside the files of the window: the reader's
  // workbook, the output folder and its listing, a second descriptor while a name is replaced.
  static constexpr std::size_t kReservedDescriptors = 16;

 private:
  struct Batch {
    std::uint64_t number = 0;  // batches finish in the order of their numbers
    std::vector<Job> jobs;
  };
  // A job between its two halves: its file created and written, what those steps reported.
  struct Prepared {
    vcard::RecordFile file;
    std::vector<Report> reports;
  };
  // A batch whose files are prepared, waiting for its turn to finish.
  struct Ready {
    std::vector<Job> jobs;
    std::vector<Prepared> prepared;
  };
  void Work();  // a writer thread
  // Prepares the oldest queued batch, then finishes every batch whose turn has come, unless
  // another thread is finishing. Called with `lock` held, and returns with it held.
  void WriteOldestBatch(std::unique_lock<std::mutex>& lock);
  // The batch being filled goes to the writers; while the window is full, the submitting
  // thread writes batches itself.
  void HandOver();
  // The first half of each job (create and write): on any writer, in any order.
  std::vector<Prepared> Prepare(const std::vector<Job>& jobs);
  // The second half (close), in row order: one batch at a time, the batches in turn.
  std::vector<Report> Finish(const std::vector<Job>& jobs, std::vector<Prepared>& prepared);
  std::shared_ptr<const vcard::OutputFolder> FolderOf(const std::string& path, std::size_t slash);
  void Keep(std::vector<Report> reports);

  const FileStatements statements_;
  const std::string location_;
  std::size_t batch_size_ = kBatchSize;                          // files per batch
  std::size_t most_batches_ = kMaxBatches;                       // batches on their way at once
  Batch filling_;                                                // the submitting thread's alone
  std::size_t filling_bytes_ = 0;                                // the bytes of its files
  std::shared_ptr<const vcard::OutputFolder> submitted_folder_;  // the submitting thread's: the last job's folder
  mutable std::mutex mutex_;
  std::condition_variable work_;          // a batch is queued, or the writers must stop
  std::condition_variable space_;         // a batch is done
  std::deque<Batch> queue_;               // handed over, not yet taken by a writer
  std::map<std::uint64_t, Ready> ready_;  // prepared, by batch number
  bool finishing_busy_ = false;           // a thread is finishing batches
  std::vector<Report> reports_;
  std::size_t in_flight_ = 0;    // batches queued or being written
  std::uint64_t finishing_ = 0;  // the number of the batch whose turn it is to finish
  unsigned writers_waiting_ = 0;
  bool submitter_waiting_ = false;
  std::size_t failed_in_a_row_ = 0;                    // the finishing batch's: batches finish one at a time
  std::shared_ptr<const vcard::OutputFolder> folder_;  // under mutex_: the folder of the last file
  std::optional<Stop> stop_;                           // under mutex_
  std::atomic<bool> stopped_{false};                   // stop_ is set: read without the lock on every row
  bool stopping_ = false;
  std::atomic<bool> have_reports_{false};
  std::atomic<std::size_t> written_{0};
  std::vector<std::thread> threads_;  // empty when no thread could be started: files are then written in Submit
};

// A reporter that forwards the writers' reports before each of its own, keeping the order
// in which the statements ran.
class OrderedReporter : public FailureReporter {
 public:
  OrderedReporter(FailureReporter& target, ReportSource& writer) : target_(target), sources_{&writer} {}
  // A second writer whose reports come after the first's (the one file's).
  void Add(ReportSource& writer) { sources_.push_back(&writer); }
  void Remove(ReportSource& writer) { std::erase(sources_, &writer); }
  void ShowApplicationError(std::string_view location, int statement, std::string_view description) override;
  // Forwards what the writers have reported so far; with `wait`, after all queued work is done.
  void Flush(std::string_view location, bool wait);

 private:
  FailureReporter& target_;
  std::vector<ReportSource*> sources_;
};

}  // namespace cw::run
