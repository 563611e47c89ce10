// The numbered-statement protocol of a reporting command: each statement runs under the
// command's handler; a failure is reported with the command's location text, the statement's
// number and the failure's description, and the command goes on with the next statement.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "vcard/environment.h"

namespace cw::vcard {

// The address the report asks the user to send a screenshot to.
inline constexpr std::string_view kSupportAddress = "support@marrowind.com";

// The report's text: description, CR LF, location, "at line ", number, CR, CR, and the request
// to email a screenshot.
std::string ApplicationErrorText(std::string_view location, int statement, std::string_view description);

class Statements {
 public:
  Statements(FailureReporter& reporter, std::string_view location) : reporter_(reporter), location_(location) {}

  // Runs one statement; a failure inside it is reported under `number`. True when it ran through.
  bool Step(int number, const std::function<void()>& body);
  // Runs a branch test; a failing test is reported and counts as held.
  bool Test(int number, const std::function<bool()>& test);

  std::string_view Location() const { return location_; }

 private:
  FailureReporter& reporter_;
  std::string location_;
};

}  // namespace cw::vcard
