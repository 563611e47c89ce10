#include "run/record_writer.h"

#include <dirent.h>
#include <sys/resource.h>

#include <algorithm>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "run/statements.h"
#include "vcard/record_file.h"

namespace cw::run {
namespace {

// How many descriptors the process has open, or nothing when /proc cannot tell.
std::optional<std::size_t> OpenDescriptors() {
  DIR* dir = ::opendir("/proc/self/fd");
  if (!dir) return std::nullopt;
  std::size_t count = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] != '.') ++count;
  }
  ::closedir(dir);
  return count > 0 ? count - 1 : 0;  // not the listing's own
}

// How many record files may be open at once: what the open-file limit leaves after the
// descriptors open now and the reserve; the whole window when the limit leaves room for it.
std::size_t FilesWindow() {
  constexpr std::size_t kWholeWindow = RecordWriter::kBatchSize * RecordWriter::kMaxBatches;
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kWholeWindow;
  const std::size_t most = static_cast<std::size_t>(std::min<rlim_t>(limit.rlim_cur, 1u << 20));
  const std::size_t held =
      OpenDescriptors().value_or(RecordWriter::kReservedDescriptors) + RecordWriter::kReservedDescriptors;
  return std::clamp<std::size_t>(most > held ? most - held : 0, 1, kWholeWindow);
}

}  // namespace

RecordWriter::RecordWriter(FileStatements statements, std::string location, unsigned writers)
    : statements_(statements), location_(std::move(location)) {
  // Under a low open-file limit, smaller batches keep several of them on their way, so the
  // writers still overlap with the rows; the whole window is kMaxBatches of kBatchSize.
  const std::size_t window = FilesWindow();
  batch_size_ = std::clamp<std::size_t>(window / 4, 1, kBatchSize);
  most_batches_ = std::clamp<std::size_t>(window / batch_size_, 1, kMaxBatches);
  filling_.jobs.reserve(batch_size_);
  // The submitting thread writes too when it is ahead, so one core is left to it.
  if (writers == 0) {
    const unsigned cores = std::thread::hardware_concurrency();
    writers = cores > 1 ? cores - 1 : 1;
  }
  writers = std::clamp(writers, 1u, kMostWriters);
  for (unsigned i = 0; i < writers; ++i) {
    try {
      threads_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
      break;  // fewer writers; with none, Submit writes each file itself
    }
  }
}

RecordWriter::~RecordWriter() {
  // Files submitted and not yet handed over are still written: nothing queued is dropped.
  if (!threads_.empty() && !filling_.jobs.empty()) HandOver();
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  work_.notify_all();
  for (auto& thread : threads_) thread.join();
}

namespace {

// Whether `folder` is the folder of `path`, whose last slash is at `slash`.
bool IsFolderOf(const vcard::OutputFolder* folder, const std::string& path, std::size_t slash) {
  return folder && folder->Path().size() == slash && path.compare(0, slash, folder->Path()) == 0;
}

}  // namespace

std::shared_ptr<const vcard::OutputFolder> RecordWriter::FolderOf(const std::string& path, std::size_t slash) {
  // Every file of a run goes to one folder: it is opened once and shared by the writers.
  std::lock_guard lock(mutex_);
  if (!IsFolderOf(folder_.get(), path, slash)) {
    folder_ = std::make_shared<const vcard::OutputFolder>(path.substr(0, slash));
  }
  return folder_;
}

std::vector<RecordWriter::Prepared> RecordWriter::Prepare(const std::vector<Job>& jobs) {
  std::vector<Prepared> prepared(jobs.size());
  std::shared_ptr<const vcard::OutputFolder> folder;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    if (stopped_.load(std::memory_order_acquire)) break;  // Finish drops these rows anyway
    const Job& job = jobs[i];
    CollectingReporter collected;
    Statements s(collected, location_);
    vcard::RecordFile& file = prepared[i].file;
    s.Step(statements_.create, [&] {
      const std::size_t slash = job.path.rfind('/');
      if (slash == std::string::npos) {
        file = vcard::RecordFile::Create(job.path);
        return;
      }
      if (!IsFolderOf(folder.get(), job.path, slash)) folder = FolderOf(job.path, slash);
      file = vcard::RecordFile::Create(*folder, job.path.substr(slash + 1));
    });
    s.Step(statements_.write, [&] {
      if (job.bytes_error) throw std::runtime_error(*job.bytes_error);
      file.Write(job.bytes);
    });
    prepared[i].reports = std::move(collected.reports);
  }
  return prepared;
}

std::vector<RecordWriter::Report> RecordWriter::Finish(const std::vector<Job>& jobs, std::vector<Prepared>& prepared) {
  std::vector<Report> reports;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    // After the stop, a row's file is dropped unnamed and its reports unsaid.
    if (stopped_.load(std::memory_order_relaxed)) break;
    CollectingReporter collected;
    collected.reports = std::move(prepared[i].reports);
    Statements s(collected, location_);
    s.Step(statements_.close, [&] { prepared[i].file.Close(); });
    if (collected.reports.empty()) {
      written_.fetch_add(1, std::memory_order_relaxed);
      failed_in_a_row_ = 0;
    } else if (++failed_in_a_row_ >= kFailedRowsToStop) {
      std::lock_guard lock(mutex_);
      stop_ = Stop{jobs[i].row, collected.reports.front().description};
      stopped_.store(true, std::memory_order_release);
    }
    for (auto& r : collected.reports) reports.push_back(std::move(r));
  }
  return reports;
}

void RecordWriter::Keep(std::vector<Report> reports) {
  if (reports.empty()) return;
  std::lock_guard lock(mutex_);
  for (auto& r : reports) reports_.push_back(std::move(r));
  have_reports_.store(true, std::memory_order_release);
}

void RecordWriter::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    ++writers_waiting_;
    work_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
    --writers_waiting_;
    if (queue_.empty()) return;
    WriteOldestBatch(lock);
  }
}

void RecordWriter::WriteOldestBatch(std::unique_lock<std::mutex>& lock) {
  Batch batch = std::move(queue_.front());
  queue_.pop_front();
  lock.unlock();
  std::vector<Prepared> prepared = Prepare(batch.jobs);
  lock.lock();
  ready_.emplace(batch.number, Ready{std::move(batch.jobs), std::move(prepared)});
  // One thread at a time finishes batches, each in its turn; a batch prepared while another
  // thread is finishing is taken by that thread when its turn comes.
  if (finishing_busy_) return;
  finishing_busy_ = true;
  for (auto it = ready_.find(finishing_); it != ready_.end(); it = ready_.find(finishing_)) {
    Ready ready = std::move(it->second);
    ready_.erase(it);
    lock.unlock();
    std::vector<Report> reports = Finish(ready.jobs, ready.prepared);
    ready = {};  // the files of dropped rows go, unnamed, outside the lock
    lock.lock();
    for (auto& r : reports) reports_.push_back(std::move(r));
    if (!reports.empty()) have_reports_.store(true, std::memory_order_release);
    ++finishing_;
    --in_flight_;
    if (submitter_waiting_) space_.notify_one();
  }
  finishing_busy_ = false;
}

void RecordWriter::HandOver() {
  filling_bytes_ = 0;
  std::unique_lock lock(mutex_);
  const std::uint64_t number = filling_.number;
  queue_.push_back(std::exchange(filling_, {}));
  ++in_flight_;
  if (writers_waiting_ > 0) work_.notify_one();
  // A full window means the rows come faster than the writers take them: rather than wait,
  // the submitting thread writes the oldest waiting batch itself.
  while (in_flight_ >= most_batches_) {
    if (!queue_.empty()) {
      WriteOldestBatch(lock);
      continue;
    }
    submitter_waiting_ = true;
    space_.wait(lock, [&] { return in_flight_ < most_batches_ || !queue_.empty(); });
    submitter_waiting_ = false;
  }
  lock.unlock();
  filling_.number = number + 1;
  filling_.jobs.reserve(batch_size_);
}

void RecordWriter::Submit(Job job) {
  // The folder is opened when its first row comes, not when a writer gets to it: the files
  // then go where the folder was at that row, even if it is renamed before they are made.
  const std::size_t slash = job.path.rfind('/');
  if (slash != std::string::npos && !IsFolderOf(submitted_folder_.get(), job.path, slash)) {
    submitted_folder_ = FolderOf(job.path, slash);
  }
  if (threads_.empty()) {
    std::vector<Job> one;
    one.push_back(std::move(job));
    std::vector<Prepared> prepared = Prepare(one);
    Keep(Finish(one, prepared));
    return;
  }
  filling_bytes_ += job.bytes.size();
  filling_.jobs.push_back(std::move(job));
  if (filling_.jobs.size() >= batch_size_ || filling_bytes_ >= kBatchBytes) HandOver();
}

std::vector<RecordWriter::Report> RecordWriter::TakeFinished() {
  // Called after every row: no lock unless the writer has something to say.
  if (!have_reports_.load(std::memory_order_acquire)) return {};
  std::lock_guard lock(mutex_);
  have_reports_.store(false, std::memory_order_relaxed);
  return std::exchange(reports_, {});
}

std::vector<RecordWriter::Report> RecordWriter::Drain() {
  if (!threads_.empty() && !filling_.jobs.empty()) HandOver();
  std::unique_lock lock(mutex_);
  while (in_flight_ > 0) {
    if (!queue_.empty()) {
      WriteOldestBatch(lock);  // the submitting thread helps with the last batches
      continue;
    }
    submitter_waiting_ = true;
    space_.wait(lock, [&] { return in_flight_ == 0 || !queue_.empty(); });
    submitter_waiting_ = false;
  }
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
  for (ReportSource* source : sources_) {
    for (const auto& r : wait ? source->Drain() : source->TakeFinished()) {
      target_.ShowApplicationError(location, r.statement, r.description);
    }
  }
}

void OrderedReporter::ShowApplicationError(std::string_view location, int statement, std::string_view description) {
  Flush(location, /*wait=*/true);
  target_.ShowApplicationError(location, statement, description);
}

}  // namespace cw::run
