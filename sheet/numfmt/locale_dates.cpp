#include "sheet/numfmt/locale_dates.h"

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

namespace cw::sheet::numfmt {
namespace {

constexpr double kMillisPerDay = 86400000.0;

// ICU's time of a civil date and time of day, taken as UTC so no zone shifts it.
UDate ToUDate(const CivilDate& date, int seconds_in_day) {
  return static_cast<double>(DaysFromCivil(date.year, date.month, date.day)) * kMillisPerDay + seconds_in_day * 1000.0;
}

// UTF-8 of an ICU text; the no-break spaces ICU puts before AM/PM or a currency show as
// the plain space the spreadsheet shows.
void AppendUtf8(const icu::UnicodeString& text, std::string& out) {
  icu::UnicodeString plain(text);
  plain.findAndReplace(icu::UnicodeString(static_cast<UChar>(0x202F)), icu::UnicodeString(u' '));
  plain.findAndReplace(icu::UnicodeString(static_cast<UChar>(0x00A0)), icu::UnicodeString(u' '));
  plain.toUTF8String(out);
}

std::unique_ptr<icu::DateFormat> InUtc(icu::DateFormat* format) {
  std::unique_ptr<icu::DateFormat> owned(format);
  if (owned) owned->setTimeZone(*icu::TimeZone::getGMT());
  return owned;
}

}  // namespace

struct LocaleDates::Impl {
  icu::Locale locale;
  std::unique_ptr<icu::DateFormat> long_date;
  std::unique_ptr<icu::DateFormat> long_time;
  std::unique_ptr<icu::Calendar> japanese;
  std::unique_ptr<icu::DateFormat> era_name;
  std::unique_ptr<icu::DateFormat> era_letter;
  bool japanese_tried = false;

  bool MakeJapanese() {
    if (japanese_tried) return japanese != nullptr;
    japanese_tried = true;
    const icu::Locale ja("ja_JP@calendar=japanese");
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> calendar(
        icu::Calendar::createInstance(icu::TimeZone::getGMT()->clone(), ja, status));
    auto name = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString(u"GGGG"), ja, status);
    auto letter = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString(u"GGGGG"), ja, status);
    if (U_FAILURE(status) || !calendar) return false;
    name->setTimeZone(*icu::TimeZone::getGMT());
    letter->setTimeZone(*icu::TimeZone::getGMT());
    japanese = std::move(calendar);
    era_name = std::move(name);
    era_letter = std::move(letter);
    return true;
  }
};

LocaleDates::LocaleDates(const std::string& locale_id) : impl_(std::make_unique<Impl>()) {
  impl_->locale = icu::Locale(locale_id.empty() ? "en_US" : locale_id.c_str());
}
LocaleDates::~LocaleDates() = default;

void LocaleDates::AppendLongDate(const CivilDate& date, std::string& out) {
  if (!impl_->long_date)
    impl_->long_date = InUtc(icu::DateFormat::createDateInstance(icu::DateFormat::kFull, impl_->locale));
  if (!impl_->long_date) return;
  icu::UnicodeString text;
  impl_->long_date->format(ToUDate(date, 0), text);
  AppendUtf8(text, out);
}

void LocaleDates::AppendLongTime(int hour, int minute, int second, std::string& out) {
  // The long time of the regional settings carries no zone: ICU's medium time.
  if (!impl_->long_time) {
    impl_->long_time = InUtc(icu::DateFormat::createTimeInstance(icu::DateFormat::kMedium, impl_->locale));
  }
  if (!impl_->long_time) return;
  icu::UnicodeString text;
  impl_->long_time->format(hour * 3600000.0 + minute * 60000.0 + second * 1000.0, text);
  AppendUtf8(text, out);
}

bool LocaleDates::JapaneseEra(const CivilDate& date, Era& era) {
  if (!impl_->MakeJapanese()) return false;
  const UDate when = ToUDate(date, 0);
  UErrorCode status = U_ZERO_ERROR;
  impl_->japanese->setTime(when, status);
  const int year = impl_->japanese->get(UCAL_YEAR, status);
  if (U_FAILURE(status)) return false;
  icu::UnicodeString name, letter;
  impl_->era_name->format(when, name);
  impl_->era_letter->format(when, letter);
  era.name.clear();
  era.letter.clear();
  name.toUTF8String(era.name);
  letter.toUTF8String(era.letter);
  era.year = year;
  return true;
}

}  // namespace cw::sheet::numfmt
