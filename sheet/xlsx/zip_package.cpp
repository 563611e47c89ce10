#include "sheet/xlsx/zip_package.h"

#include <zip.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "sheet/xlsx/xlsx_error.h"

namespace cw::sheet::xlsx {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

std::string MiB(std::uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

struct FileCloser {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};

zip_t* OpenSource(zip_source_t* source) {
  zip_error_t error;
  zip_error_init(&error);
  zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
  const int code = zip_error_code_zip(&error);
  std::string reason = archive ? std::string() : zip_error_strerror(&error);
  if (!reason.empty() && reason[0] >= 'A' && reason[0] <= 'Z') reason[0] = static_cast<char>(reason[0] - 'A' + 'a');
  zip_error_fini(&error);
  if (!archive) {
    zip_source_free(source);
    if (code == ZIP_ER_ENCRNOTSUPP || code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD) {
      FailXlsx(XlsxErrorCode::kEncrypted);
    }
    FailXlsx(XlsxErrorCode::kNotZip, {}, reason);
  }
  return archive;
}

}  // namespace

ZipPackage::ZipPackage(std::span<const std::byte> bytes, PartLimits limits) : limits_(limits) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(
      bytes.empty() ? static_cast<const void*>("") : static_cast<const void*>(bytes.data()), bytes.size(), 0, &error);
  zip_error_fini(&error);
  if (!source) FailXlsx(XlsxErrorCode::kNotZip);
  archive_ = OpenSource(source);
}

ZipPackage ZipPackage::OpenFile(const std::string& path, PartLimits limits) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_file_create(path.c_str(), 0, -1, &error);
  zip_error_fini(&error);
  if (!source) FailXlsx(XlsxErrorCode::kNotZip);
  return ZipPackage(OpenSource(source), limits);
}

ZipPackage::~ZipPackage() {
  if (archive_) zip_discard(archive_);
}

ZipPackage::ZipPackage(ZipPackage&& other) noexcept : archive_(other.archive_), limits_(other.limits_) {
  other.archive_ = nullptr;
}

std::optional<std::string> ZipPackage::Find(std::string_view name) const {
  const std::string wanted(name);
  const zip_int64_t index = zip_name_locate(archive_, wanted.c_str(), ZIP_FL_NOCASE | ZIP_FL_ENC_GUESS);
  if (index < 0) return std::nullopt;
  const char* stored = zip_get_name(archive_, static_cast<zip_uint64_t>(index), ZIP_FL_ENC_GUESS);
  return stored ? std::optional<std::string>(stored) : std::nullopt;
}

std::uint64_t ZipPackage::SizeBound(std::string_view name) const {
  const std::string wanted(name);
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat(archive_, wanted.c_str(), ZIP_FL_NOCASE | ZIP_FL_ENC_GUESS, &st) != 0) return 0;
  if (!(st.valid & ZIP_STAT_SIZE) || !(st.valid & ZIP_STAT_COMP_SIZE)) return 0;
  const std::uint64_t by_ratio =
      st.comp_size > limits_.max_size / limits_.max_ratio ? limits_.max_size : st.comp_size * limits_.max_ratio;
  return std::min({st.size, std::max(by_ratio, limits_.ratio_floor), limits_.max_size});
}

void ZipPackage::Read(std::string_view name, const std::function<void(std::span<const char>)>& sink) const {
  const std::string wanted(name);
  const zip_int64_t index = zip_name_locate(archive_, wanted.c_str(), ZIP_FL_NOCASE | ZIP_FL_ENC_GUESS);
  if (index < 0) FailXlsx(XlsxErrorCode::kMissingPart, name);
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) != 0) {
    FailXlsx(XlsxErrorCode::kPartDamaged, name, zip_strerror(archive_));
  }
  if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) {
    FailXlsx(XlsxErrorCode::kEncrypted, name);
  }
  const std::uint64_t stored = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
  std::unique_ptr<zip_file_t, FileCloser> file(zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0));
  if (!file) {
    const int code = zip_error_code_zip(zip_get_error(archive_));
    if (code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_ENCRNOTSUPP) {
      FailXlsx(XlsxErrorCode::kEncrypted, name);
    }
    FailXlsx(XlsxErrorCode::kPartDamaged, name, zip_strerror(archive_));
  }
  std::vector<char> buffer(kChunk);
  std::uint64_t total = 0;
  for (;;) {
    const zip_int64_t got = zip_fread(file.get(), buffer.data(), buffer.size());
    if (got < 0) FailXlsx(XlsxErrorCode::kPartDamaged, name, zip_file_strerror(file.get()));
    if (got == 0) break;
    total += static_cast<std::uint64_t>(got);
    if (total > limits_.max_size) FailXlsx(XlsxErrorCode::kPartTooLarge, name, MiB(limits_.max_size));
    if (total > limits_.ratio_floor && total / limits_.max_ratio > stored) {
      FailXlsx(XlsxErrorCode::kPartRatioTooHigh, name,
               "more than " + std::to_string(limits_.max_ratio) + " times its stored size");
    }
    sink(std::span<const char>(buffer.data(), static_cast<std::size_t>(got)));
  }
}

}  // namespace cw::sheet::xlsx
