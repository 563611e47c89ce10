// The record files' write call as cw_run_tests has it: write_seam.cpp defines
// cw::vcard::internal::WriteFileBytes and OpenUnnamedFile (vcard/file_write.h), so this binary
// links them in place of the product's, and a test can make writes fail the way a full disk
// does, or refuse unnamed files the way a file system without them does.
#pragma once

#include <cstddef>

namespace cw::testing {

using WriteCall = long (*)(int fd, const void* data, std::size_t size);

// Every record-file write of this test binary goes through `call` from now on, whatever
// thread makes it; nullptr gives the system's write back.
void SetWriteCall(WriteCall call);

// With true, every unnamed file of this test binary is refused (EOPNOTSUPP) from now on, so
// record files take the named temporaries' way; false gives the system's unnamed files back.
void RefuseUnnamedFiles(bool refuse);

}  // namespace cw::testing
