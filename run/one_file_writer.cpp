#include "run/one_file_writer.h"

#include <system_error>
#include <utility>

#include "run/statements.h"

namespace cw::run {
namespace {

// The file's bytes go to the disk in writes of about this size.
constexpr std::size_t kWriteBytes = std::size_t{1} << 20;

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

void OneFileWriter::Submit(Row row) {
  if (row.photo) filling_photo_bytes_ += row.photo->bytes.size();
  filling_.push_back(std::move(row));
  if (filling_.size() >= kBatchSize || filling_photo_bytes_ >= kBatchPhotoBytes) HandOver();
}

void OneFileWriter::HandOver() {
  if (filling_.empty()) return;
  filling_photo_bytes_ = 0;
  if (!thread_.joinable()) {
    Compose(filling_);
    filling_.clear();
    return;
  }
  std::unique_lock lock(mutex_);
  space_.wait(lock, [&] { return in_flight_ < kMaxBatches; });
  queue_.push_back(std::exchange(filling_, {}));
  ++in_flight_;
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
    lock.lock();
    --in_flight_;
    space_.notify_all();
  }
}

void OneFileWriter::Compose(std::vector<Row>& rows) {
  CollectingReporter collected;
  Statements s(collected, setup_.location);
  StatementSteps steps(s);
  std::size_t losing = 0;
  bool failed = Failed();
  for (Row& row : rows) {
    if (failed) break;
    vcard::RecordOptions options;
    options.version = setup_.version;
    if (setup_.encoding == vcard::ExportEncoding::Ansi) options.ansi_code_page = &setup_.code_page;
    options.birthday_date = row.birthday_date;
    options.anniversary_date = row.anniversary_date;
    if (row.photo) options.photo = &*row.photo;
    options.uid = row.uid;
    std::size_t lost = 0;
    options.lost_characters = &lost;
    const std::string record = vcard::BuildVCardRecord(row.fields, row.built, setup_.dates, &steps, options);
    if (lost > 0) ++losing;
    const auto append = [&] { vcard::AppendRecordBytes(bytes_, record, setup_.encoding, setup_.code_page); };
    bool ok = s.Step(setup_.make_bytes_statement != 0 ? setup_.make_bytes_statement : setup_.write_statement, append);
    if (ok && bytes_.size() >= kWriteBytes) {
      ok = s.Step(setup_.write_statement, [&] { file_.Write(bytes_); });
      bytes_.clear();
    }
    failed = !ok;
  }
  std::lock_guard lock(mutex_);
  losing_ += losing;
  failed_ = failed_ || failed;
  for (auto& r : collected.reports) reports_.push_back(std::move(r));
}

std::vector<WriterReport> OneFileWriter::TakeFinished() {
  std::lock_guard lock(mutex_);
  return std::exchange(reports_, {});
}

std::vector<WriterReport> OneFileWriter::Drain() {
  HandOver();
  std::unique_lock lock(mutex_);
  space_.wait(lock, [&] { return in_flight_ == 0; });
  return std::exchange(reports_, {});
}

bool OneFileWriter::Failed() const {
  std::lock_guard lock(mutex_);
  return failed_;
}

std::size_t OneFileWriter::RowsLosingCharacters() const {
  std::lock_guard lock(mutex_);
  return losing_;
}

void OneFileWriter::WriteRest() {
  std::string rest = std::exchange(bytes_, {});
  file_.Write(rest);
}

void OneFileWriter::Close() { file_.Close(); }

}  // namespace cw::run
