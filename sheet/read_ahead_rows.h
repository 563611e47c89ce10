// The rows of a block taken a window ahead of the caller, on a thread of their own: parsing
// and rendering the sheet then overlaps with what the caller does with each row (the export
// reads its fields and hands them on), so the export takes little more than the read alone.
// The caller sees the same rows, dates, unreadable cells and errors, in the same order, as
// from the rows read directly; an error comes after the rows before it, and again on every
// later call.
#pragma once

#include <memory>

#include "sheet/block_rows.h"

namespace cw::sheet {

// `rows` from now on belongs to the returned rows and is read on their thread. When no thread
// can be started, `rows` itself comes back.
std::unique_ptr<BlockRows> ReadAhead(std::unique_ptr<BlockRows> rows);

}  // namespace cw::sheet
