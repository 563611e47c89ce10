#include "tests/run/write_seam.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "vcard/file_write.h"

namespace cw {
namespace {

std::atomic<testing::WriteCall> g_write_call{nullptr};
std::atomic<bool> g_refuse_unnamed{false};

}  // namespace

void testing::SetWriteCall(WriteCall call) { g_write_call.store(call); }

void testing::RefuseUnnamedFiles(bool refuse) { g_refuse_unnamed.store(refuse); }

int vcard::internal::OpenUnnamedFile(int dir, const char* where) {
  if (g_refuse_unnamed.load()) {
    errno = EOPNOTSUPP;
    return -1;
  }
  return ::openat(dir, where, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

long vcard::internal::WriteFileBytes(int fd, const void* data, std::size_t size) {
  const testing::WriteCall call = g_write_call.load();
  return call ? call(fd, data, size) : ::write(fd, data, size);
}

}  // namespace cw
