// Fakes of the run's outside world and file helpers shared by the tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "run/environment.h"

namespace cw::testing {

class FixedClock : public run::Clock {
 public:
  explicit FixedClock(run::LocalTime t) : time_(t) {}
  run::LocalTime Now() override { return time_; }

 private:
  run::LocalTime time_;
};

struct Report {
  std::string location;
  int statement;
  std::string description;
};

class RecordingReporter : public run::FailureReporter {
 public:
  void ShowApplicationError(std::string_view location, int statement, std::string_view description) override {
    reports.push_back({std::string(location), statement, std::string(description)});
  }
  std::vector<int> Statements() const {
    std::vector<int> numbers;
    for (const auto& r : reports) numbers.push_back(r.statement);
    return numbers;
  }
  std::vector<Report> reports;
};

struct Message {
  std::string text;
  std::string title;
  run::MessageIcon icon;
};

class RecordingMessages : public run::MessageSink {
 public:
  run::MessageAnswer Show(std::string_view text, std::string_view title, run::MessageIcon icon,
                          run::MessageButtons) override {
    shown.push_back({std::string(text), std::string(title), icon});
    return run::MessageAnswer::kOk;
  }
  std::vector<Message> shown;
};

class RecordingPointer : public run::PointerControl {
 public:
  run::PointerSetting Pointer() const override { return current; }
  void SetPointer(run::PointerSetting setting) override {
    current = setting;
    history.push_back(setting);
  }
  run::PointerSetting current = run::PointerSetting::kDefault;
  std::vector<run::PointerSetting> history;
};

// A fresh folder under the system's temporary folder, removed with the object.
class TempFolder {
 public:
  TempFolder() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() / ("cw-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  std::string Path() const { return path_.string(); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Compares two byte strings line by line (CR LF separated) and names the first difference.
inline ::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  std::size_t line = 1;
  std::size_t start = 0;
  for (std::size_t i = 0; i < std::min(expected.size(), actual.size()); ++i) {
    if (expected[i] != actual[i]) {
      const auto end_of = [&](const std::string& s) { return s.substr(start, s.find("\r\n", start) - start); };
      return ::testing::AssertionFailure()
             << "line " << line << " differs:\n  expected: " << end_of(expected) << "\n  actual:   " << end_of(actual);
    }
    if (expected[i] == '\n') {
      ++line;
      start = i + 1;
    }
  }
  return ::testing::AssertionFailure() << "lengths differ: expected " << expected.size() << " bytes, got "
                                       << actual.size() << " (first " << std::min(expected.size(), actual.size())
                                       << " agree)";
}

}  // namespace cw::testing
