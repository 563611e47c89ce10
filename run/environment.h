// The small interfaces through which the commands reach the world outside the core: message
// boxes, the "Application Error" report, the clock, the window's pointer setting. The window
// implements them with Qt; tests implement them with fakes that record and answer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "vcard/dates.h"

namespace cw::run {

enum class MessageIcon { kNone, kExclamation };
enum class MessageButtons { kOk, kYesNo };
enum class MessageAnswer { kOk, kYes, kNo };

// Modal message boxes. A box given no title of its own carries the application title.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual MessageAnswer Show(std::string_view text, std::string_view title, MessageIcon icon,
                             MessageButtons buttons) = 0;
};

inline constexpr std::string_view kApplicationTitle = "Cardwright";

// Shows one failure report of a command and returns when the user has closed it.
class FailureReporter {
 public:
  virtual ~FailureReporter() = default;
  virtual void ShowApplicationError(std::string_view location, int statement, std::string_view description) = 0;
};

using vcard::LocalTime;

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
};

// The system clock in local time.
class SystemClock : public Clock {
 public:
  LocalTime Now() override;
};

// How a long run shows that it works, and how the user stops it.
class RunProgress {
 public:
  virtual ~RunProgress() = default;
  // After each row: `done` rows of the block's `total` are through.
  virtual void RowsDone(std::size_t done, std::size_t total) = 0;
  // True once the user asked the run to stop; it stops before the next row.
  virtual bool CancelRequested() = 0;
};

// What stands at a path. The run's checks ask it: a workbook "exists" when a regular file is
// there, the output folder when a folder is; anything else (a folder for a workbook, a file
// for the output folder) is told apart so the message can say so.
enum class PathKind { kNothing, kFile, kFolder, kOther };
PathKind KindOfPath(const std::string& path);

// The main window's one pointer setting, with the toolkit's values.
enum class PointerSetting { kDefault = 0, kBusy = 11, kCustom = 99 };

class PointerControl {
 public:
  virtual ~PointerControl() = default;
  virtual PointerSetting Pointer() const = 0;
  virtual void SetPointer(PointerSetting setting) = 0;
};

}  // namespace cw::run
