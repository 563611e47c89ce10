#include "run/record_writer.h"

#include <stdexcept>
#include <system_error>
#include <utility>

#include "run/statements.h"
#include "vcard/record_file.h"

namespace cw::run {
namespace {

constexpr std::size_t kMaxQueued = 512;

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
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    // No second thread to be had: Submit writes each file itself.
  }
}

RecordWriter::~RecordWriter() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

std::vector<RecordWriter::Report> RecordWriter::Write(const Job& job) {
  {
    std::lock_guard lock(mutex_);
    if (stop_) return {};
  }
  CollectingReporter collected;
  Statements s(collected, location_);
  vcard::RecordFile file;
  s.Step(statements_.create, [&] { file = vcard::RecordFile::Create(job.path); });
  s.Step(statements_.write, [&] {
    if (job.bytes_error) throw std::runtime_error(*job.bytes_error);
    file.Write(job.bytes);
  });
  s.Step(statements_.close, [&] { file.Close(); });
  {
    std::lock_guard lock(mutex_);
    if (collected.reports.empty()) {
      ++written_;
      failed_in_a_row_ = 0;
    } else if (++failed_in_a_row_ >= kFailedRowsToStop) {
      stop_ = Stop{job.row, collected.reports.front().description};
    }
  }
  return std::move(collected.reports);
}

void RecordWriter::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;
    Job job = std::move(queue_.front());
    queue_.pop_front();
    ++busy_;
    changed_.notify_all();
    lock.unlock();
    std::vector<Report> reports = Write(job);
    lock.lock();
    for (auto& r : reports) reports_.push_back(std::move(r));
    --busy_;
    changed_.notify_all();
  }
}

void RecordWriter::Submit(Job job) {
  if (!thread_.joinable()) {
    auto reports = Write(job);
    std::lock_guard lock(mutex_);
    for (auto& r : reports) reports_.push_back(std::move(r));
    return;
  }
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return queue_.size() < kMaxQueued; });
  queue_.push_back(std::move(job));
  changed_.notify_all();
}

std::vector<RecordWriter::Report> RecordWriter::TakeFinished() {
  std::lock_guard lock(mutex_);
  return std::exchange(reports_, {});
}

std::vector<RecordWriter::Report> RecordWriter::Drain() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return queue_.empty() && busy_ == 0; });
  return std::exchange(reports_, {});
}

std::optional<RecordWriter::Stop> RecordWriter::Stopped() const {
  std::lock_guard lock(mutex_);
  return stop_;
}

std::size_t RecordWriter::FilesWritten() const {
  std::lock_guard lock(mutex_);
  return written_;
}

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
