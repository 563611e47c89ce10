// The product's write call of record files; see file_write.h. Nothing else may go in this
// file: a test binary that links its own WriteFileBytes must not need this object for
// anything else.
#include "vcard/file_write.h"

#include <unistd.h>

namespace cw::vcard::internal {

long WriteFileBytes(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }

}  // namespace cw::vcard::internal
