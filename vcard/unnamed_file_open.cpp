// The product's opening of unnamed files; see file_write.h. Nothing else may go in this file:
// a test binary that links its own OpenUnnamedFile must not need this object for anything else.
#include <fcntl.h>

#include "vcard/file_write.h"

namespace cw::vcard::internal {

int OpenUnnamedFile(int dir, const char* where) { return ::openat(dir, where, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666); }

}  // namespace cw::vcard::internal
