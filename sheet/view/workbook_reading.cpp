#include "sheet/view/workbook_reading.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QMetaObject>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <utility>

namespace cw::sheet {
namespace {

// Readings whose window has gone on before they ended. The program waits for them on its way
// out, so that no worker still reads while the libraries' own data is being torn down.
struct Workers {
  std::mutex mutex;
  std::condition_variable ended;
  int running = 0;
};

Workers& RunningWorkers() {
  // Never destroyed: a worker may end after the program's static objects are gone.
  static auto* workers = new Workers;
  static std::once_flag wait_at_exit;
  std::call_once(wait_at_exit, [] {
    std::atexit([] {
      Workers& w = *workers;
      std::unique_lock lock(w.mutex);
      w.ended.wait(lock, [&] { return w.running == 0; });
    });
  });
  return *workers;
}

// The bytes the program has read from files so far (the kernel's count of read calls); nothing
// where the system does not say. The readers take a file through read calls as they parse
// it (an .xlsx part on a thread that inflates ahead), and nothing else of the program reads
// much while the sheet window is up, so this tells how far into the file the reading is
// without asking the readers.
std::optional<std::uint64_t> BytesRead() {
  std::ifstream io("/proc/self/io");
  std::string key;
  std::uint64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return std::nullopt;
}

// How much lower than the window thread the reading runs (nice levels).
constexpr int kLowerPriority = 5;

}  // namespace

struct WorkbookReading::Shared {
  std::mutex mutex;
  WorkbookReading* receiver = nullptr;  // nullptr once the reading is cancelled or gone
  std::atomic<bool> cancelled{false};
  std::atomic<bool> whole{false};  // the whole workbook is being read
  std::atomic<std::uint64_t> read_before_whole{0};

  // Runs `then` on the window thread with the reading, unless it has been cancelled.
  template <typename Then>
  void Post(Then then) {
    const std::lock_guard lock(mutex);
    if (!receiver) return;
    WorkbookReading* to = receiver;
    QMetaObject::invokeMethod(
        to, [to, then = std::move(then)]() mutable { then(*to); }, Qt::QueuedConnection);
  }
};

WorkbookReading::WorkbookReading(WorkbookSource source, const FormatLocale& locale, QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>()) {
  if (!source.path.empty()) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(source.path, error);
    if (!error) file_size_ = size;
  }
  shared_->receiver = this;
  Workers& workers = RunningWorkers();
  {
    const std::lock_guard lock(workers.mutex);
    ++workers.running;
  }
  try {
    std::thread(Work, shared_, std::move(source), locale).detach();
  } catch (const std::system_error&) {
    // No thread to be had: the reading fails with that reason, as a read that fails does.
    {
      const std::lock_guard lock(workers.mutex);
      --workers.running;
    }
    shared_->receiver = nullptr;
    state_ = State::kFailed;
    failure_ = std::current_exception();
  }
}

WorkbookReading::WorkbookReading(Workbook workbook, QObject* parent)
    : QObject(parent), state_(State::kRead), book_(std::make_unique<Workbook>(std::move(workbook))) {}

WorkbookReading::~WorkbookReading() { Cancel(); }

void WorkbookReading::Cancel() {
  if (!shared_) return;
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->receiver = nullptr;
  }
  shared_->cancelled = true;
  shared_.reset();
  if (state_ == State::kReading) {
    state_ = State::kCancelled;
    emit Ended();
  }
}

Workbook WorkbookReading::TakeBook() {
  if (!book_) return {};
  Workbook book = std::move(*book_);
  book_.reset();
  return book;
}

void WorkbookReading::RethrowFailure() const {
  if (failure_) std::rethrow_exception(failure_);
}

std::optional<double> WorkbookReading::Progress() const {
  if (state_ == State::kRead) return 1.0;
  if (!shared_ || file_size_ == 0) return std::nullopt;
  if (!shared_->whole) return 0.0;
  const std::optional<std::uint64_t> now = BytesRead();
  if (!now) return std::nullopt;
  const std::uint64_t done = *now - std::min(*now, shared_->read_before_whole.load());
  // The file is read before its last parts are parsed: the reading is not done at 100 %.
  return std::min(0.99, static_cast<double>(done) / static_cast<double>(file_size_));
}

void WorkbookReading::TakeFirst(std::unique_ptr<FirstRows> first) {
  if (state_ != State::kReading) return;
  first_ = std::move(first);
  emit FirstRowsRead();
}

void WorkbookReading::TakeEnd(std::unique_ptr<Workbook> book, std::exception_ptr failure) {
  if (state_ != State::kReading) return;
  shared_.reset();
  book_ = std::move(book);
  failure_ = std::move(failure);
  state_ = failure_ ? State::kFailed : State::kRead;
  emit Ended();
}

void WorkbookReading::Work(std::shared_ptr<Shared> shared, WorkbookSource source, FormatLocale locale) {
  // The window thread goes first: on two cores the reader and the thread that inflates ahead
  // for it (which takes this thread's priority) would otherwise keep the window waiting its
  // turn. Where the system refuses, the reading runs as it is.
  const auto self = static_cast<id_t>(gettid());
  errno = 0;
  const int priority = getpriority(PRIO_PROCESS, self);
  if (errno == 0) setpriority(PRIO_PROCESS, self, std::min(priority + kLowerPriority, 19));
  if (source.stream) {
    try {
      std::unique_ptr<WorkbookStream> stream = source.stream();
      auto first = std::make_unique<FirstRows>();
      const Workbook& model = stream->Model();
      for (const Worksheet& sheet : model.sheets) first->names.sheets.emplace_back(sheet.Name()).Finish();
      first->names.active_sheet = model.active_sheet < model.sheets.size() ? model.active_sheet : 0;
      first->sheet = first->names.active_sheet;
      if (!model.sheets.empty()) {
        std::unique_ptr<BlockRows> rows =
            stream->Rows(first->sheet, Extent{0, 0, FirstRows::kRows - 1, FirstRows::kColumns - 1},
                         std::vector<bool>(FirstRows::kColumns, true), std::move(locale));
        std::vector<std::string> texts;
        std::size_t last_filled = 0;
        while (!shared->cancelled && rows->NextRow(texts)) {
          while (!texts.empty() && texts.back().empty()) texts.pop_back();
          first->columns = std::max(first->columns, static_cast<std::uint32_t>(texts.size()));
          first->texts.push_back(texts);
          if (!texts.empty()) last_filled = first->texts.size();
        }
        first->texts.resize(last_filled);  // the rows past the data are no rows of the sheet
      }
      shared->Post([first = std::shared_ptr<FirstRows>(std::move(first))](WorkbookReading& reading) mutable {
        reading.TakeFirst(std::make_unique<FirstRows>(std::move(*first)));
      });
    } catch (const std::exception&) {
      // The whole read below meets the same fault and says what it is.
    }
  }
  if (!shared->cancelled) {
    shared->read_before_whole = BytesRead().value_or(0);
    shared->whole = true;
    std::shared_ptr<Workbook> book;
    std::exception_ptr failure;
    try {
      book = std::make_shared<Workbook>(source.load());
    } catch (const std::exception&) {
      failure = std::current_exception();
    }
    shared->Post([book = std::move(book), failure](WorkbookReading& reading) mutable {
      reading.TakeEnd(book ? std::make_unique<Workbook>(std::move(*book)) : nullptr, failure);
    });
  }
  // What this reading holds goes before the program may end.
  source = {};
  shared.reset();
  Workers& workers = RunningWorkers();
  const std::lock_guard lock(workers.mutex);
  --workers.running;
  workers.ended.notify_all();
}

}  // namespace cw::sheet
