#include "tests/run/write_seam.h"

#include <unistd.h>

#include <atomic>

#include "vcard/file_write.h"

namespace cw {
namespace {

std::atomic<testing::WriteCall> g_write_call{nullptr};

}  // namespace

void testing::SetWriteCall(WriteCall call) { g_write_call.store(call); }

long vcard::internal::WriteFileBytes(int fd, const void* data, std::size_t size) {
  const testing::WriteCall call = g_write_call.load();
  return call ? call(fd, data, size) : ::write(fd, data, size);
}

}  // namespace cw
