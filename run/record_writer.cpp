#include "run/record_writer.h"

#include <stdexcept>
#include <system_error>
#include <utility>

#include "run/statements.h"
#include "vcard/record_file.h"

namespace cw::run {
namespace {

class CollectingReporter : public FailureReporter {
 public:
  void ShowApplicationError(std::string_view, int statement, std::string_view description) override {
    reports.push_back({statement, std::string(description)});
  }
  std::vector<RecordWriter::Report> reports;
};

}  // namespace

RecordWriter::RecordWriter(FileStatements statements, std::string location)
    : statements_(statements), location_(std::move(location)) {
  filling_.reserve(kBatchSize);
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    // No second thread to be had: Submit writes each file itself.
  }
}

RecordWriter::~RecordWriter() {
  // Files submitted and not yet handed over are still written: nothing queued is dropped.
  if (thread_.joinable() && !filling_.empty()) HandOver();
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  work_.notify_all();
  if (thread_.joinable()) thread_.join();
}

std::vector<RecordWriter::Report> RecordWriter::Write(const Job& job) {
  if (stopped_.load(std::memory_order_acquire)) return {};
  CollectingReporter collected;
  Statements s(collected, location_);
  vcard::RecordFile file;
  s.Step(statements_.create, [&] {
    const std::size_t slash = job.path.rfind('/');
    if (slash == std::string::npos) {
      file = vcard::RecordFile::Create(job.path);
      return;
    }
    // Every file of a run goes to one folder: it is opened once.
    if (!folder_ || folder_->Path().size() != slash || job.path.compare(0, slash, folder_->Path()) != 0) {
      folder_ = std::make_unique<vcard::OutputFolder>(job.path.substr(0, slash));
    }
    file = vcard::RecordFile::Create(*folder_, job.path.substr(slash + 1));
  });
  s.Step(statements_.write, [&] {
    if (job.bytes_error) throw std::runtime_error(*job.bytes_error);
    file.Write(job.bytes);
  });
  s.Step(statements_.close, [&] { file.Close(); });
  if (collected.reports.empty()) {
    written_.fetch_add(1, std::memory_order_relaxed);
    failed_in_a_row_ = 0;
  } else if (++failed_in_a_row_ >= kFailedRowsToStop && !stopped_.load(std::memory_order_relaxed)) {
    std::lock_guard lock(mutex_);
    stop_ = Stop{job.row, collected.reports.front().description};
    stopped_.store(true, std::memory_order_release);
  }
  return std::move(collected.reports);
}

void RecordWriter::Keep(std::vector<Report> reports) {
  if (reports.empty()) return;
  std::lock_guard lock(mutex_);
  for (auto& r : reports) reports_.push_back(std::move(r));
  have_reports_.store(true, std::memory_order_release);
}

void RecordWriter::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    writer_waiting_ = true;
    work_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
    writer_waiting_ = false;
    if (queue_.empty()) return;
    Batch batch = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    std::vector<Report> reports;
    for (const Job& job : batch) {
      for (auto& r : Write(job)) reports.push_back(std::move(r));
    }
    batch.clear();
    lock.lock();
    for (auto& r : reports) reports_.push_back(std::move(r));
    if (!reports.empty()) have_reports_.store(true, std::memory_order_release);
    --in_flight_;
    if (submitter_waiting_) space_.notify_one();
  }
}

void RecordWriter::HandOver() {
  std::unique_lock lock(mutex_);
  submitter_waiting_ = true;
  space_.wait(lock, [&] { return in_flight_ < kMaxBatches; });
  submitter_waiting_ = false;
  queue_.push_back(std::exchange(filling_, {}));
  ++in_flight_;
  const bool wake = writer_waiting_;
  lock.unlock();
  if (wake) work_.notify_one();
  filling_.reserve(kBatchSize);
}

void RecordWriter::Submit(Job job) {
  if (!thread_.joinable()) {
    Keep(Write(job));
    return;
  }
  filling_.push_back(std::move(job));
  if (filling_.size() >= kBatchSize) HandOver();
}

std::vector<RecordWriter::Report> RecordWriter::TakeFinished() {
  // Called after every row: no lock unless the writer has something to say.
  if (!have_reports_.load(std::memory_order_acquire)) return {};
  std::lock_guard lock(mutex_);
  have_reports_.store(false, std::memory_order_relaxed);
  return std::exchange(reports_, {});
}

std::vector<RecordWriter::Report> RecordWriter::Drain() {
  if (thread_.joinable() && !filling_.empty()) HandOver();
  std::unique_lock lock(mutex_);
  submitter_waiting_ = true;
  space_.wait(lock, [&] { return in_flight_ == 0; });
  submitter_waiting_ = false;
  have_reports_.store(false, std::memory_order_relaxed);
  return std::exchange(reports_, {});
}

std::optional<RecordWriter::Stop> RecordWriter::Stopped() const {
  if (!stopped_.load(std::memory_order_acquire)) return std::nullopt;
  std::lock_guard lock(mutex_);
  return stop_;
}

std::size_t RecordWriter::FilesWritten() const { return written_.load(std::memory_order_relaxed); }

void OrderedReporter::Flush(std::string_view location, bool wait) {
  for (const auto& r : wait ? writer_.Drain() : writer_.TakeFinished()) {
    target_.ShowApplicationError(location, r.statement, r.description);
  }
}

void OrderedReporter::ShowApplicationError(std::string_view location, int statement, std::string_view description) {
  Flush(location, /*wait=*/true);
  target_.ShowApplicationError(location, statement, description);
}

}  // namespace cw::run
