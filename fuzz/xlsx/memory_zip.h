// Zip archives written to memory for the .xlsx fuzz targets (libzip: zip_source_buffer_create
// and zip_open_from_source), so no input touches the disk.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace cw::fuzz {

using Entries = std::vector<std::pair<std::string, std::string>>;

// A zip archive of `entries` (name, content), deflated or stored; empty when libzip fails.
// An entry libzip refuses (a repeated name) is left out.
std::vector<std::byte> MemoryZip(const Entries& entries, bool stored);

}  // namespace cw::fuzz
