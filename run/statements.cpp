#include "run/statements.h"

#include <exception>
#include <new>

namespace cw::run {
namespace {

// The description a failure carries: its own text for our errors, the platform's
// standard wording for allocation failures, empty when it has none.
std::string DescribeCurrentException() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return "Out of memory";
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return {};
  }
}

}  // namespace

const char* FailureInWords(const std::exception& failure) {
  return dynamic_cast<const std::bad_alloc*>(&failure) ? kOutOfMemoryText : failure.what();
}

std::string ApplicationErrorText(std::string_view location, int statement, std::string_view description) {
  std::string text(description);
  text += "\r\n";
  text += location;
  text += "at line ";
  text += std::to_string(statement);
  text += "\r\r";
  text += "Please email screenshot of this message to ";
  text += kSupportAddress;
  return text;
}

void Statements::ReportCurrentFailure(int number) {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    ++out_of_memory_;
  } catch (...) {
  }
  reporter_.ShowApplicationError(location_, number, DescribeCurrentException());
}

}  // namespace cw::run
