// Rendering a value through a compiled format code.
#pragma once

#include <string>
#include <string_view>

#include "sheet/number_format.h"
#include "sheet/numfmt/format_code.h"

namespace cw::sheet::numfmt {

struct RenderContext {
  FormatLocale locale;
  DateSystem date_system = DateSystem::k1900;
};

// Appends the text of `value` under `format`. A malformed format, a date outside the
// calendar (negative, past 9999) and a value that is not a number show General instead.
void RenderNumber(const CompiledFormat& format, double value, const RenderContext& context, std::string& out);

// Appends the text of a string cell: the format's text section with '@' replaced by the
// text (at most 8 times), or the text itself when the format has no text section.
void RenderString(const CompiledFormat& format, std::string_view text, std::string& out);

}  // namespace cw::sheet::numfmt
