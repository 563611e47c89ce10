// The built-in number formats: ids a workbook uses without writing their code.
#pragma once

#include <cstdint>
#include <string>

#include "sheet/number_format.h"

namespace cw::sheet::numfmt {

// The code of built-in format `id` as shown under `locale` (ids 14 and 22 follow the
// locale's short date order and separator). Unknown ids give "General".
std::string BuiltinFormatCode(std::uint32_t id, const FormatLocale& locale);

}  // namespace cw::sheet::numfmt
