// The one call through which record files write their bytes, kept apart from record_file.cpp
// in an object file of its own (file_write.cpp). A test binary that defines this function
// itself links its definition in place of ours (the linker takes no member of a static
// library for a name already defined), and so makes writes fail the way a full disk does
// without any hook in the product. Internal to vcard/: only record_file.cpp calls it.
#pragma once

#include <cstddef>

namespace cw::vcard::internal {

// write(2): the count of bytes written, or -1 with errno set.
long WriteFileBytes(int fd, const void* data, std::size_t size);

// openat(2) of an unnamed file (O_TMPFILE, write-only) in the folder `where` relative to
// `dir`: its descriptor, or -1 with errno set. Defined in unnamed_file_open.cpp, an object
// of its own for the same reason: a test binary that defines it refuses unnamed files the
// way a file system without them does (EOPNOTSUPP), and so takes the named temporaries' way.
int OpenUnnamedFile(int dir, const char* where);

}  // namespace cw::vcard::internal
