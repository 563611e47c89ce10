#include "run/environment.h"

#include <ctime>
#include <filesystem>

namespace cw::run {

LocalTime SystemClock::Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

PathKind KindOfPath(const std::string& path) {
  if (path.empty()) return PathKind::kNothing;
  std::error_code error;
  const auto status = std::filesystem::status(path, error);  // follows links, as opening does
  if (std::filesystem::is_regular_file(status)) return PathKind::kFile;
  if (std::filesystem::is_directory(status)) return PathKind::kFolder;
  return std::filesystem::exists(status) ? PathKind::kOther : PathKind::kNothing;
}

}  // namespace cw::run
