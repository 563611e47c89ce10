// Rendering a value through a compiled format code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sheet/number_format.h"
#include "sheet/numfmt/format_code.h"
#include "sheet/numfmt/locale_dates.h"

namespace cw::sheet::numfmt {

struct RenderContext {
  FormatLocale locale;
  DateSystem date_system = DateSystem::k1900;
  LocaleDates* dates = nullptr;  // long date and time, eras; without it they show nothing
  // The grouping separator when it takes more than one byte (U+00A0 under ru_RU); when set,
  // it stands instead of locale.thousands_separator.
  std::string grouping;
  // LibreOffice's display rules (an OpenDocument spreadsheet): its words and names from
  // lo_locale_data.h, negative dates and durations, dashes for decimals.
  bool libreoffice = false;
  bool indian_grouping = false;  // 12,34,567: groups of two above the first three digits
  std::uint32_t user_lcid = 0;   // LibreOffice: the language of codes that name none (the user's)
};

// Appends the text of `value` under `format`. A malformed format and a value that is not
// a number show General instead; a date outside the calendar (negative in the 1900 system,
// past 9999) shows "########", and a negative one in the 1904 system takes a minus sign.
void RenderNumber(const CompiledFormat& format, double value, const RenderContext& context, std::string& out);

// Appends the text of a string cell: the format's text section with '@' replaced by the
// text (at most 8 times), or the text itself when the format has no text section.
void RenderString(const CompiledFormat& format, std::string_view text, std::string& out);

}  // namespace cw::sheet::numfmt
