#include "sheet/xlsx/shared_strings_load.h"

#include <system_error>
#include <utility>

#include "sheet/xlsx/workbook_parts.h"

namespace cw::sheet::xlsx {
namespace {

// Thrown through the parse when the load is stopped; never leaves the reading thread.
struct Stopped {};

}  // namespace

class SharedStringsLoad::Sink : public StringSink {
 public:
  explicit Sink(SharedStringsLoad& load) : load_(load) { building_.reserve(kSegment); }
  void Reserve(std::size_t, std::size_t) override {}
  void Add(std::string_view text) override {
    if (load_.stop_.load(std::memory_order_relaxed)) throw Stopped{};
    building_.push_back(text);
    if (building_.size() == kSegment) load_.Give(building_);
  }
  void Flush() {
    if (!building_.empty()) load_.Give(building_);
  }

 private:
  SharedStringsLoad& load_;
  StringPool building_;
};

SharedStringsLoad::SharedStringsLoad(const ZipPackage& package, std::string part, std::uint64_t max_strings)
    : package_(package),
      part_(std::move(part)),
      max_strings_(max_strings),
      segments_(std::make_unique<std::unique_ptr<const StringPool>[]>(max_strings / kSegment + 1)) {
  try {
    thread_ = std::thread([this] { Read(); });
  } catch (const std::system_error&) {
    Read();  // no thread to be had: the strings are read before the rows
  }
}

SharedStringsLoad::~SharedStringsLoad() {
  stop_.store(true, std::memory_order_relaxed);
  if (thread_.joinable()) thread_.join();
}

void SharedStringsLoad::Read() {
  std::exception_ptr error;
  try {
    Sink sink(*this);
    try {
      ReadSharedStrings(package_, part_, sink, max_strings_);
    } catch (const Stopped&) {
      throw;
    } catch (...) {
      error = std::current_exception();
    }
    sink.Flush();  // the strings read before damage serve the rows that need only them
  } catch (const Stopped&) {
  } catch (...) {
    if (!error) error = std::current_exception();
  }
  {
    const std::lock_guard lock(mutex_);
    done_ = true;
    error_ = error;
  }
  changed_.notify_all();
}

void SharedStringsLoad::Give(StringPool& building) {
  // At most max_strings strings are read, so the room taken at the start holds every segment.
  segments_[segment_count_++] = std::make_unique<const StringPool>(building);  // at its exact size
  building.clear();
  {
    const std::lock_guard lock(mutex_);
    given_.store(given_.load(std::memory_order_relaxed) + segments_[segment_count_ - 1]->size(),
                 std::memory_order_release);
  }
  changed_.notify_all();
}

std::optional<std::string_view> SharedStringsLoad::Wait(std::size_t index) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return index < given_.load(std::memory_order_relaxed) || done_; });
  if (index < given_.load(std::memory_order_relaxed)) return At(index);
  if (error_) std::rethrow_exception(error_);
  return std::nullopt;
}

void SharedStringsLoad::Finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return done_; });
  if (error_) std::rethrow_exception(error_);
}

}  // namespace cw::sheet::xlsx
