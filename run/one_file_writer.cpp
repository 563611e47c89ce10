#include "run/one_file_writer.h"

#include <system_error>
#include <utility>

#include "run/statements.h"

namespace cw::run {
namespace {

// The file's bytes go to the disk in writes of about this size.
constexpr std::size_t kWriteBytes = std::size_t{1} << 20;

// The bytes of a row's values.
std::size_t ValueBytes(const vcard::ContactFields& fields) {
  std::size_t bytes = 0;
  for (std::size_t k = 1; k < mapping::kFieldKindCount; ++k) bytes += fields[static_cast<mapping::FieldKind>(k)].size();
  for (const auto& earlier : fields.EarlierValues()) bytes += earlier.value.size();
  return bytes;
}

// A row's storage kept for reuse holds no more than this: a row of a long value lets its
// storage go rather than keep it for every later batch.
constexpr std::size_t kMostKeptBytes = std::size_t{64} << 10;

std::size_t ValueCapacity(const vcard::ContactFields& fields) {
  std::size_t bytes = 0;
  for (std::size_t k = 1; k < mapping::kFieldKindCount; ++k) {
    bytes += fields[static_cast<mapping::FieldKind>(k)].capacity();
  }
  return bytes;
}

}  // namespace

OneFileWriter::OneFileWriter(Setup setup, vcard::RecordFile file) : setup_(std::move(setup)), file_(std::move(file)) {
  bytes_ = vcard::FileStart(setup_.encoding, setup_.version);
  filling_.reserve(kBatchSize);
  try {
    thread_ = std::thread([this] { Work(); });
  } catch (const std::system_error&) {
    // No thread: the rows are composed as they are submitted.
  }
}

OneFileWriter::~OneFileWriter() {
  if (thread_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    work_.notify_all();
    thread_.join();
  }
}

void OneFileWriter::Submit(vcard::ContactFields& fields, RowExtras extras) {
  if (extras.photo) filling_bytes_ += extras.photo->bytes.size();
  filling_bytes_ += ValueBytes(fields);
  if (filled_ == filling_.size()) filling_.emplace_back();
  Row& slot = filling_[filled_++];
  slot.fields.swap(fields);
  slot.extras = std::move(extras);
  if (filled_ >= kBatchSize || filling_bytes_ >= kBatchBytes) HandOver();
}

void OneFileWriter::HandOver() {
  if (filled_ == 0) return;
  filling_.resize(filled_);  // fewer only for a batch cut short by its bytes, or the last
  filled_ = 0;
  filling_bytes_ = 0;
  if (!thread_.joinable()) {
    Compose(filling_);
    return;
  }
  std::unique_lock lock(mutex_);
  space_.wait(lock, [&] { return in_flight_ < kMaxBatches; });
  queue_.push_back(std::move(filling_));
  ++in_flight_;
  filling_ = {};
  if (!spare_.empty()) {
    filling_ = std::move(spare_.back());
    spare_.pop_back();
  }
  lock.unlock();
  work_.notify_one();
  filling_.reserve(kBatchSize);
}

void OneFileWriter::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;
    std::vector<Row> rows = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    Compose(rows);
    for (Row& row : rows) {
      row.extras = {};  // photos are not kept
      if (ValueCapacity(row.fields) > kMostKeptBytes) row.fields = {};
    }
    lock.lock();
    --in_flight_;
    if (spare_.size() < kMaxBatches) spare_.push_back(std::move(rows));
    space_.notify_all();
  }
}

void OneFileWriter::Compose(std::vector<Row>& rows) {
  CollectingReporter collected;
  Statements s(collected, setup_.location);
  StatementSteps steps(s);
  std::size_t losing = 0;
  std::vector<std::size_t> short_of_memory;
  bool failed = Failed();
  for (Row& row : rows) {
    if (failed) break;
    const std::size_t out_of_memory = s.OutOfMemoryFailures();
    vcard::RecordOptions options;
    options.version = setup_.version;
    if (setup_.encoding == vcard::ExportEncoding::Ansi) options.ansi_code_page = &setup_.code_page;
    options.birthday_date = row.extras.birthday_date;
    options.anniversary_date = row.extras.anniversary_date;
    if (row.extras.photo) options.photo = &*row.extras.photo;
    options.uid = row.extras.uid;
    std::size_t lost = 0;
    options.lost_characters = &lost;
    const int bytes_statement = setup_.make_bytes_statement != 0 ? setup_.make_bytes_statement : setup_.write_statement;
    // The record's own lines report their failures under their numbers; one outside them
    // (the record's text itself, out of memory) loses the record, reported where its bytes
    // would have been made, and the next rows go on.
    std::string record;
    const bool built = s.Step(bytes_statement, [&] {
      record = vcard::BuildVCardRecord(row.fields, row.extras.built, setup_.dates, &steps, options);
    });
    if (lost > 0) ++losing;
    const auto append = [&] { vcard::AppendRecordBytes(bytes_, record, setup_.encoding, setup_.code_page); };
    bool ok = !built || s.Step(bytes_statement, append);
    if (ok && bytes_.size() >= kWriteBytes) {
      ok = s.Step(setup_.write_statement, [&] { file_.Write(bytes_); });
      bytes_.clear();
    }
    failed = !ok;
    if (s.OutOfMemoryFailures() != out_of_memory) short_of_memory.push_back(row.extras.row);
  }
  std::lock_guard lock(mutex_);
  losing_ += losing;
  short_of_memory_.insert(short_of_memory_.end(), short_of_memory.begin(), short_of_memory.end());
  if (failed) failed_.store(true, std::memory_order_release);
  for (auto& r : collected.reports) reports_.push_back(std::move(r));
  if (!reports_.empty()) have_reports_.store(true, std::memory_order_release);
}

std::vector<WriterReport> OneFileWriter::TakeFinished() {
  // Called after every row: no lock unless the writer has something to say.
  if (!have_reports_.load(std::memory_order_acquire)) return {};
  std::lock_guard lock(mutex_);
  have_reports_.store(false, std::memory_order_relaxed);
  return std::exchange(reports_, {});
}

std::vector<WriterReport> OneFileWriter::Drain() {
  HandOver();
  std::unique_lock lock(mutex_);
  space_.wait(lock, [&] { return in_flight_ == 0; });
  have_reports_.store(false, std::memory_order_relaxed);
  return std::exchange(reports_, {});
}

bool OneFileWriter::Failed() const { return failed_.load(std::memory_order_acquire); }

std::size_t OneFileWriter::RowsLosingCharacters() const {
  std::lock_guard lock(mutex_);
  return losing_;
}

std::vector<std::size_t> OneFileWriter::RowsShortOfMemory() const {
  std::lock_guard lock(mutex_);
  return short_of_memory_;
}

void OneFileWriter::WriteRest() {
  std::string rest = std::exchange(bytes_, {});
  file_.Write(rest);
}

void OneFileWriter::Close() { file_.Close(); }

}  // namespace cw::run
