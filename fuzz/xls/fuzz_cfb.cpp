// libFuzzer entry point for the compound-file layer alone: open, list and read every
// root-level stream.
#include <cstddef>
#include <cstdint>
#include <span>

#include "sheet/xls/compound_file.h"
#include "sheet/xls/xls_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const cw::sheet::CompoundFile file(std::as_bytes(std::span(data, size)));
    for (const auto& name : file.StreamNames()) {
      const auto stream = file.ReadStream(name);
      if (!stream || stream->size() > size) __builtin_trap();
    }
  } catch (const cw::sheet::XlsReadError&) {
  }
  return 0;
}
