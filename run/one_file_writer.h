// Composes the records of every row and writes them into one file, on a thread of its own,
// so that composing overlaps with reading the next rows: the export of all rows into one file
// then takes little more than reading the sheet. The rows' record statements (304 to 348)
// and the file's write statement keep their numbers and their order: they run under the
// statement protocol with a collecting reporter, and the run forwards what they report on
// its own thread before anything it reports itself (OrderedReporter).
//
// Rows travel in batches, at most kMaxBatches on their way, so memory stays bounded by a
// window of rows. The file is the export's record file: it gets its name only when closed,
// so a run that fails or is killed leaves nothing partial.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "run/record_writer.h"
#include "vcard/dates.h"
#include "vcard/record_file.h"
#include "vcard/vcard_record.h"
#include "vcard/vcard_version.h"

namespace cw::run {

class OneFileWriter : public ReportSource {
 public:
  struct Setup {
    vcard::ExportEncoding encoding;
    vcard::VCardVersion version;
    const vcard::CodePage& code_page;
    const vcard::DateRecognizer& dates;
    int make_bytes_statement;  // 0: the record is converted as the write statement writes it
    int write_statement;
    std::string location;
  };
  // What a row's record takes besides its values.
  struct RowExtras {
    std::optional<vcard::Date> birthday_date;
    std::optional<vcard::Date> anniversary_date;
    std::optional<vcard::PhotoData> photo;
    std::string uid;
    vcard::LocalTime built;
    std::size_t row = 0;  // the block row, from 1, for the final message
  };

  // `file` is open; it is written by this writer from now on.
  OneFileWriter(Setup setup, vcard::RecordFile file);
  ~OneFileWriter() override;  // an unclosed file vanishes
  OneFileWriter(const OneFileWriter&) = delete;
  OneFileWriter& operator=(const OneFileWriter&) = delete;

  // Queues one row; waits while many are queued. The row's values are taken by swapping:
  // `fields` comes back holding the storage of a row written earlier, for the caller to
  // clear and fill again, so that rows in a steady run allocate nothing.
  void Submit(vcard::ContactFields& fields, RowExtras extras);
  std::vector<WriterReport> TakeFinished() override;
  std::vector<WriterReport> Drain() override;
  // A write of the file failed: rows after it are not written, and the file is given up.
  bool Failed() const;
  // Rows whose record held characters the ANSI code page lacks (after Drain).
  std::size_t RowsLosingCharacters() const;
  // The rows (RowExtras::row) whose record lost a line, or the whole record, for lack of
  // memory (after Drain), in row order.
  std::vector<std::size_t> RowsShortOfMemory() const;
  // After Drain: writes what is still held (throws as a write does), then gives the file its
  // name (throws as a close does).
  void WriteRest();
  void Close();

  static constexpr std::size_t kBatchSize = 64;
  // A batch goes as soon as its values and photos hold this many bytes, so that rows of long
  // notes or with photos (up to 224 KB each) keep the window of rows in flight to a few
  // megabytes, whatever the rows hold.
  static constexpr std::size_t kBatchBytes = std::size_t{2} << 20;
  static constexpr std::size_t kMaxBatches = 8;

 private:
  struct Row {
    vcard::ContactFields fields;
    RowExtras extras;
  };
  void Work();
  void Compose(std::vector<Row>& rows);  // on the writer's thread, or in Submit without one
  void HandOver();

  const Setup setup_;
  vcard::RecordFile file_;
  std::string bytes_;         // composed, not yet written
  std::vector<Row> filling_;  // its first filled_ rows are submitted
  std::size_t filled_ = 0;
  std::size_t filling_bytes_ = 0;
  mutable std::mutex mutex_;
  std::condition_variable work_;
  std::condition_variable space_;
  std::deque<std::vector<Row>> queue_;
  std::vector<std::vector<Row>> spare_;  // batches written, their rows' storage kept for reuse
  std::size_t in_flight_ = 0;
  bool stopping_ = false;
  std::atomic<bool> failed_{false};        // set under mutex_, read without it
  std::atomic<bool> have_reports_{false};  // reports_ holds some
  std::size_t losing_ = 0;
  std::vector<std::size_t> short_of_memory_;
  std::vector<WriterReport> reports_;
  std::thread thread_;  // not joinable when none could be started: rows are composed in Submit
};

}  // namespace cw::run
