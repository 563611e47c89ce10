// The numbered-statement protocol of a reporting command: each statement runs under the
// command's handler; a failure is reported with the command's location text, the statement's
// number and the failure's description, and the command goes on with the next statement.
#pragma once

#include <cstddef>
#include <exception>
#include <string>
#include <string_view>

#include "run/environment.h"

namespace cw::run {

// The address the report asks the user to send a screenshot to.
inline constexpr std::string_view kSupportAddress = "support@marrowind.com";

// The report's text: description, CR LF, location, "at line ", number, CR, CR, and the request
// to email a screenshot.
std::string ApplicationErrorText(std::string_view location, int statement, std::string_view description);

// What a failure says to the person at the window: its own text, or for a failed allocation
// (whose own text is "std::bad_alloc") a sentence in words. Allocates nothing for the latter.
inline constexpr const char* kOutOfMemoryText =
    "Out of memory: this needs more memory than the program can get. Close other programs, or split the "
    "workbook, and try again.";
const char* FailureInWords(const std::exception& failure);

class Statements {
 public:
  Statements(FailureReporter& reporter, std::string_view location) : reporter_(reporter), location_(location) {}

  // Runs one statement; a failure inside it is reported under `number`. True when it ran through.
  template <typename Body>
  bool Step(int number, Body&& body) {
    try {
      body();
      return true;
    } catch (...) {
      ReportCurrentFailure(number);
      return false;
    }
  }
  // Runs a branch test; a failing test is reported and counts as held.
  template <typename Condition>
  bool Test(int number, Condition&& test) {
    try {
      return static_cast<bool>(test());
    } catch (...) {
      ReportCurrentFailure(number);
      return true;
    }
  }
  // How many statements so far failed for lack of memory: what they would have written is
  // missing, which the command's final message must say.
  std::size_t OutOfMemoryFailures() const { return out_of_memory_; }

 private:
  // Reports the failure being handled under `number`; called only from a handler.
  void ReportCurrentFailure(int number);

  FailureReporter& reporter_;
  std::string location_;
  std::size_t out_of_memory_ = 0;
};

}  // namespace cw::run
