#include "sheet/number_format.h"

#include <unicode/dcfmtsym.h>
#include <unicode/locid.h>
#include <unicode/uloc.h>

#include <array>
#include <cmath>
#include <map>
#include <unordered_map>

#include "sheet/numfmt/builtin_formats.h"
#include "sheet/numfmt/decimal.h"
#include "sheet/numfmt/format_code.h"
#include "sheet/numfmt/lo_locale_data.h"
#include "sheet/numfmt/locale_dates.h"
#include "sheet/numfmt/render.h"

namespace cw::sheet {
namespace {

// A workbook has a few dozen distinct codes; a hostile one may have millions. Past this
// many the cache starts afresh, so memory stays bounded.
constexpr std::size_t kMaxCachedCodes = 4096;
// Built-in ids 0-81 are cached in a table; larger ids without a code show General.
constexpr std::uint32_t kBuiltinSlots = 82;
// How many of the last custom codes are kept at hand before the cache is asked.
constexpr std::size_t kRecentCodes = 4;

struct CodeHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view code) const { return std::hash<std::string_view>{}(code); }
};

// The short date (14) and short date and time (22) follow the regional settings whatever
// code a workbook stores for them, as spreadsheets show them.
bool FollowsLocaleOnly(std::uint32_t id) { return id == 14 || id == 22; }

}  // namespace

struct NumberFormatter::Impl {
  explicit Impl(const FormatLocale& locale, DateSystem system) : dates(locale.locale_id) {
    context = {locale, system, &dates, {}};
  }

  numfmt::LocaleDates dates;
  numfmt::RenderContext context;
  std::unordered_map<std::string, std::unique_ptr<numfmt::CompiledFormat>, CodeHash, std::equal_to<>> by_code;
  std::array<std::unique_ptr<numfmt::CompiledFormat>, kBuiltinSlots> builtin;
  // The custom codes looked up last: a row's cells take turns among a few.
  struct Recent {
    std::string code;
    const numfmt::CompiledFormat* format = nullptr;
  };
  std::array<Recent, kRecentCodes> recent;
  std::size_t next_recent = 0;
  // Separators by the locale a code names, when codes decide them.
  bool code_separators = false;
  numfmt::Dialect dialect = numfmt::Dialect::kExcel;
  std::map<std::uint32_t, std::unique_ptr<numfmt::RenderContext>> by_lcid;

  // The context for numbers under `format`: this formatter's, or with the separators of
  // the locale the code names.
  const numfmt::RenderContext& ContextFor(const numfmt::CompiledFormat& format) {
    if (!code_separators || format.lcid == 0) return context;
    auto& entry = by_lcid[format.lcid];
    if (!entry) {
      entry = std::make_unique<numfmt::RenderContext>(context);
      if (context.libreoffice) {
        if (const numfmt::LoLocale* lo = numfmt::FindLoLocale(format.lcid)) {
          // LibreOffice's own separators: "'" in Switzerland, U+00A0 in France, where ICU has
          // U+2019 and U+202F; Indian grouping under en-IN and hi-IN.
          entry->locale.decimal_separator = lo->decimal.size() == 1 ? lo->decimal[0] : '.';
          entry->grouping.clear();
          if (lo->grouping.size() == 1) {
            entry->locale.thousands_separator = lo->grouping[0];
          } else {
            entry->grouping = lo->grouping;
          }
          entry->indian_grouping = lo->indian;
          return *entry;
        }
      }
      char id[ULOC_FULLNAME_CAPACITY] = {};
      UErrorCode status = U_ZERO_ERROR;
      const std::int32_t length = uloc_getLocaleForLCID(format.lcid, id, sizeof id - 1, &status);
      if (U_SUCCESS(status) && length > 0) {
        const icu::DecimalFormatSymbols symbols(icu::Locale(id), status);
        if (U_SUCCESS(status)) {
          std::string decimal, grouping;
          symbols.getConstSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol).toUTF8String(decimal);
          symbols.getConstSymbol(icu::DecimalFormatSymbols::kGroupingSeparatorSymbol).toUTF8String(grouping);
          // The decimal separator is one character in every locale that writes digits 0-9.
          if (decimal.size() == 1) entry->locale.decimal_separator = decimal[0];
          if (grouping.size() == 1) {
            entry->locale.thousands_separator = grouping[0];
          } else {
            entry->grouping = grouping;
          }
        }
      }
    }
    return *entry;
  }

  const numfmt::CompiledFormat& Lookup(std::uint32_t id, std::string_view code) {
    if (code.empty() || FollowsLocaleOnly(id)) {
      const std::uint32_t slot = id < kBuiltinSlots ? id : 0;
      auto& entry = builtin[slot];
      if (!entry) {
        entry = std::make_unique<numfmt::CompiledFormat>(
            numfmt::CompileFormat(numfmt::BuiltinFormatCode(slot, context.locale), dialect));
      }
      return *entry;
    }
    for (const Recent& r : recent) {
      if (r.format != nullptr && r.code == code) return *r.format;
    }
    auto it = by_code.find(code);
    if (it == by_code.end()) {
      if (by_code.size() >= kMaxCachedCodes) {
        by_code.clear();
        recent = {};
      }
      it = by_code
               .emplace(std::string(code),
                        std::make_unique<numfmt::CompiledFormat>(numfmt::CompileFormat(code, dialect)))
               .first;
    }
    Recent& slot = recent[next_recent];
    next_recent = (next_recent + 1) % recent.size();
    slot.code.assign(code);
    slot.format = it->second.get();
    return *slot.format;
  }
};

std::string FormatGeneral(double value) {
  std::string out;
  numfmt::AppendGeneral(value, '.', out);
  return out;
}

std::string BuiltinFormatCode(std::uint32_t format_id, const FormatLocale& locale) {
  return numfmt::BuiltinFormatCode(format_id, locale);
}

NumberFormatter::NumberFormatter(const FormatLocale& locale, DateSystem date_system)
    : impl_(std::make_unique<Impl>(locale, date_system)) {}
NumberFormatter::~NumberFormatter() = default;
NumberFormatter::NumberFormatter(NumberFormatter&&) noexcept = default;
NumberFormatter& NumberFormatter::operator=(NumberFormatter&&) noexcept = default;

std::string NumberFormatter::FormatNumber(double value, std::uint32_t format_id, std::string_view code) {
  std::string out;
  AppendNumber(value, format_id, code, out);
  return out;
}

void NumberFormatter::AppendNumber(double value, std::uint32_t format_id, std::string_view code, std::string& out) {
  if (code.empty() && format_id == 0) {
    numfmt::AppendGeneral(value, impl_->context.locale.decimal_separator, out);
    return;
  }
  const numfmt::CompiledFormat& format = impl_->Lookup(format_id, code);
  numfmt::RenderNumber(format, value, impl_->ContextFor(format), out);
}

void NumberFormatter::UseCodeLocaleSeparators(bool use) { impl_->code_separators = use; }

void NumberFormatter::UseLibreOfficeRules() {
  Impl& impl = *impl_;
  impl.code_separators = true;
  impl.dialect = numfmt::Dialect::kLibreOffice;
  impl.context.libreoffice = true;
  impl.context.user_lcid = uloc_getLCID(impl.context.locale.locale_id.c_str());
  // Codes compiled so far were read in Excel's dialect.
  impl.by_code.clear();
  impl.builtin = {};
  impl.recent = {};
  impl.by_lcid.clear();
}

std::string NumberFormatter::FormatString(std::string_view text, std::uint32_t format_id, std::string_view code) {
  std::string out;
  AppendString(text, format_id, code, out);
  return out;
}

void NumberFormatter::AppendString(std::string_view text, std::uint32_t format_id, std::string_view code,
                                   std::string& out) {
  // General has no text section: the string shows as it is.
  if (code.empty() && format_id == 0) {
    out.append(text);
    return;
  }
  numfmt::RenderString(impl_->Lookup(format_id, code), text, out);
}

std::optional<CivilDate> NumberFormatter::DateShown(double value, std::uint32_t format_id, std::string_view code) {
  // 2958466 is the serial after 31 Dec 9999 in the 1900 system; NaN fails both tests. A
  // negative serial of the 1904 system is a date before 1904, and of LibreOffice's a date
  // before 30 Dec 1899 (SerialToDate checks its range).
  const bool before_start = impl_->context.date_system != DateSystem::k1900 && value < 0 && value > -1e6;
  if (!((value >= 0 || before_start) && value < 2958466) || (code.empty() && format_id == 0)) return std::nullopt;
  const numfmt::CompiledFormat& format = impl_->Lookup(format_id, code);
  if (!format.valid || format.number_sections == 0) return std::nullopt;
  // A positive number takes the first section unless a condition sends it elsewhere.
  const numfmt::Section* section = &format.sections[0];
  for (int i = 0; i < format.number_sections; ++i) {
    if (!format.sections[i].condition.Present() || format.sections[i].condition.Holds(value)) {
      section = &format.sections[i];
      break;
    }
  }
  if (section->kind != numfmt::SectionKind::kDate || !section->has_date) return std::nullopt;
  CivilDate date;
  if (!SerialToDate(static_cast<std::int64_t>(std::floor(value)), impl_->context.date_system, date)) {
    return std::nullopt;
  }
  if (!IsValidDate(date.year, date.month, date.day)) return std::nullopt;
  return date;
}

bool NumberFormatter::ShowsDates(std::uint32_t format_id, std::string_view code) {
  if (code.empty() && format_id == 0) return false;
  const numfmt::CompiledFormat& format = impl_->Lookup(format_id, code);
  if (!format.valid) return false;
  for (int i = 0; i < format.number_sections; ++i) {
    if (format.sections[i].kind == numfmt::SectionKind::kDate && format.sections[i].has_date) return true;
  }
  return false;
}

}  // namespace cw::sheet
