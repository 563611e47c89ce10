// The record files' write call as cw_run_tests has it: write_seam.cpp defines
// cw::vcard::internal::WriteFileBytes (vcard/file_write.h), so this binary links it in place of
// the product's, and a test can make writes fail the way a full disk does.
#pragma once

#include <cstddef>

namespace cw::testing {

using WriteCall = long (*)(int fd, const void* data, std::size_t size);

// Every record-file write of this test binary goes through `call` from now on, whatever
// thread makes it; nullptr gives the system's write back.
void SetWriteCall(WriteCall call);

}  // namespace cw::testing
