#include "fuzz/xlsx/memory_zip.h"

#include <zip.h>

namespace cw::fuzz {

std::vector<std::byte> MemoryZip(const Entries& entries, bool stored) {
  std::vector<std::byte> out;
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_error_fini(&error);
  if (!buffer) return out;
  zip_source_keep(buffer);
  zip_error_init(&error);
  zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  zip_error_fini(&error);
  if (!archive) {
    zip_source_free(buffer);
    return out;
  }
  for (const auto& [name, content] : entries) {
    zip_source_t* s = zip_source_buffer(archive, content.data(), content.size(), 0);
    const zip_int64_t index = s ? zip_file_add(archive, name.c_str(), s, 0) : -1;
    if (index < 0) {
      zip_source_free(s);
      continue;
    }
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 1);
  }
  if (zip_close(archive) != 0) {
    zip_discard(archive);
    zip_source_free(buffer);
    return out;
  }
  zip_stat_t st;
  if (zip_source_stat(buffer, &st) == 0 && zip_source_open(buffer) == 0) {
    out.resize(st.size);
    const zip_int64_t got = zip_source_read(buffer, out.data(), out.size());
    out.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    zip_source_close(buffer);
  }
  zip_source_free(buffer);
  return out;
}

}  // namespace cw::fuzz
