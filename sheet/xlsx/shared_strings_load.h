// The shared strings of an .xlsx package read on a thread of their own, while the row stream
// parses the sheet: a contacts sheet's strings are a fifth of its work, and its rows need
// only the strings they name, which a writer stores in the order the sheet first uses them.
// A cell waits only until its own string has been read.
//
// Strings are handed over in segments that never move once given, so a reader takes a string
// without a lock; a segment is stored at its exact size, so the table costs what the
// object model's does.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "sheet/workbook.h"
#include "sheet/xlsx/zip_package.h"

namespace cw::sheet::xlsx {

class SharedStringsLoad {
 public:
  // Begins reading `part` of `package` (which must outlive this), at most `max_strings`
  // strings. When no thread can be started, the part is read here, before this returns.
  SharedStringsLoad(const ZipPackage& package, std::string part, std::uint64_t max_strings);
  ~SharedStringsLoad();  // stops the reading where it is
  SharedStringsLoad(const SharedStringsLoad&) = delete;
  SharedStringsLoad& operator=(const SharedStringsLoad&) = delete;

  // String `index`, once read; valid while this lives. Nothing when the part holds fewer
  // strings. Throws the part's error (XlsxError) when its reading failed before `index`.
  std::optional<std::string_view> Get(std::size_t index) {
    if (index < given_.load(std::memory_order_acquire)) return At(index);
    return Wait(index);
  }
  // Waits for the whole part; throws its error when it has one.
  void Finish();

 private:
  static constexpr std::size_t kSegment = 4096;
  class Sink;

  std::string_view At(std::size_t index) const { return (*segments_[index / kSegment])[index % kSegment]; }
  std::optional<std::string_view> Wait(std::size_t index);
  void Read();  // the reading thread's work
  // Hands the strings read since the last segment over to readers.
  void Give(StringPool& building);

  const ZipPackage& package_;
  const std::string part_;
  const std::uint64_t max_strings_;
  // Room for every segment the limit allows, taken at once so that it never moves.
  std::unique_ptr<std::unique_ptr<const StringPool>[]> segments_;
  std::size_t segment_count_ = 0;
  std::atomic<std::size_t> given_{0};  // strings in segments handed over
  std::atomic<bool> stop_{false};

  std::mutex mutex_;
  std::condition_variable changed_;
  bool done_ = false;
  std::exception_ptr error_;
  std::thread thread_;
};

}  // namespace cw::sheet::xlsx
