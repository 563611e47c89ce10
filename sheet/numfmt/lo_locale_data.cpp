#include "sheet/numfmt/lo_locale_data.h"

#include <unicode/uloc.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>

namespace cw::sheet::numfmt {
namespace {

// One row per locale, the language's main country first. Booleans in capitals, as LibreOffice
// shows them.
// clang-format off
constexpr LoLocale kLocales[] = {
    {"en-US", ".", ",", false, "TRUE", "FALSE", "AM", "PM", {"Q1", "Q2", "Q3", "Q4"}, {"1st quarter", "2nd quarter", "3rd quarter", "4th quarter"}, "m/d/yy", "dddd, mmmm d, yyyy"},
    {"en-GB", ".", ",", false, "TRUE", "FALSE", "AM", "PM", {"Q1", "Q2", "Q3", "Q4"}, {"1st quarter", "2nd quarter", "3rd quarter", "4th quarter"}, "dd/mm/yy", "dddd d mmmm yyyy"},
    {"en-IN", ".", ",", true, "TRUE", "FALSE", "AM", "PM", {"Q1", "Q2", "Q3", "Q4"}, {"1st quarter", "2nd quarter", "3rd quarter", "4th quarter"}, "dd/mm/yy", "dddd d mmmm yyyy"},
    {"de-DE", ",", ".", false, "WAHR", "FALSCH", "vorm.", "nachm.", {"Q1", "Q2", "Q3", "Q4"}, {"1. Quartal", "2. Quartal", "3. Quartal", "4. Quartal"}, "dd.mm.yy", "dddd, d. mmmm yyyy"},
    {"de-AT", ",", ".", false, "WAHR", "FALSCH", "vorm.", "nachm.", {"Q1", "Q2", "Q3", "Q4"}, {"1. Quartal", "2. Quartal", "3. Quartal", "4. Quartal"}, "dd.mm.yyyy", "dddd, dd. mmmm yyyy"},
    {"de-CH", ".", "'", false, "WAHR", "FALSCH", "vorm.", "nachm.", {"Q1", "Q2", "Q3", "Q4"}, {"1. Quartal", "2. Quartal", "3. Quartal", "4. Quartal"}, "d.mm.yy", "dddd, dd. mmmm yyyy"},
    {"fr-FR", ",", "\u00A0", false, "VRAI", "FAUX", "AM", "PM", {"T1", "T2", "T3", "T4"}, {"1er trimestre", "2e trimestre", "3e trimestre", "4e trimestre"}, "dd/mm/yyyy", "dddd d mmmm yyyy"},
    {"fr-CH", ".", "'", false, "VRAI", "FAUX", "AM", "PM", {"T1", "T2", "T3", "T4"}, {"1er trimestre", "2e trimestre", "3e trimestre", "4e trimestre"}, "d.mm.yy", "dddd, dd. mmmm yyyy"},
    {"fr-CA", ",", "\u00A0", false, "VRAI", "FAUX", "AM", "PM", {"T1", "T2", "T3", "T4"}, {"1er trimestre", "2e trimestre", "3e trimestre", "4e trimestre"}, "yy-m-d", "dddd d mmmm yyyy"},
    {"fr-BE", ",", ".", false, "VRAI", "FAUX", "AM", "PM", {"T1", "T2", "T3", "T4"}, {"1er trimestre", "2e trimestre", "3e trimestre", "4e trimestre"}, "d/mm/yy", "dddd d mmmm yyyy"},
    {"it-IT", ",", ".", false, "VERO", "FALSO", "a.m.", "p.m.", {"T1", "T2", "T3", "T4"}, {"1o trimestre", "2o trimestre", "3o trimestre", "4o trimestre"}, "dd/mm/yy", "dddd dd mmmm yyyy"},
    {"it-CH", ".", "'", false, "VERO", "FALSO", "a.m.", "p.m.", {"T1", "T2", "T3", "T4"}, {"1o trimestre", "2o trimestre", "3o trimestre", "4o trimestre"}, "d.mm.yy", "dddd, dd. mmmm yyyy"},
    {"es-ES", ",", ".", false, "VERDADERO", "FALSO", "a.\u00A0m.", "p.\u00A0m.", {"T1", "T2", "T3", "T4"}, {"1er trimestre", "2º trimestre", "3er trimestre", "4º trimestre"}, "d/mm/yy", "dddd, d \"de\" mmmm \"de\" yyyy"},
    {"es-MX", ".", ",", false, "VERDADERO", "FALSO", "a.\u00A0m.", "p.\u00A0m.", {"T1", "T2", "T3", "T4"}, {"1er trimestre", "2º trimestre", "3er trimestre", "4º trimestre"}, "d/mm/yy", "dddd d \"de\" mmmm \"de\" yyyy"},
    {"nl-NL", ",", ".", false, "WAAR", "ONWAAR", "AM", "PM", {"K1", "K2", "K3", "K4"}, {"1ste kwartaal", "2de kwartaal", "3de kwartaal", "4de kwartaal"}, "d-mm-yy", "dddd d mmmm yyyy"},
    {"pt-BR", ",", ".", false, "VERDADEIRO", "FALSO", "AM", "PM", {"1T", "2T", "3T", "4T"}, {"1.º trimestre", "2.º trimestre", "3.º trimestre", "4.º trimestre"}, "dd/mm/yy", "dddd, d \"de\" mmmm \"de\" yyyy"},
    {"pt-PT", ",", "\u00A0", false, "VERDADEIRO", "FALSO", "AM", "PM", {"1T", "2T", "3T", "4T"}, {"1.º trimestre", "2.º trimestre", "3.º trimestre", "4.º trimestre"}, "dd-mm-yyyy", "dddd, d \"de\" mmmm \"de\" yyyy"},
    {"pl-PL", ",", "\u00A0", false, "PRAWDA", "FAŁSZ", "AM", "PM", {"K1", "K2", "K3", "K4"}, {"I kwartał", "II kwartał", "III kwartał", "IV kwartał"}, "yy-m-d", "dddd dd mmmm yyyy"},
    {"ru-RU", ",", "\u00A0", false, "ИСТИНА", "ЛОЖЬ", "AM", "PM", {"1-й кв.", "2-й кв.", "3-й кв.", "4-й кв."}, {"1-й квартал", "2-й квартал", "3-й квартал", "4-й квартал"}, "d.m.yy", "dddd, dd mmmm, yyyy"},
    {"uk-UA", ",", "\u00A0", false, "ІСТИНА", "БРЕХНЯ", "AM", "PM", {"1-й кв.", "2-й кв.", "3-й кв.", "4-й кв."}, {"1-й квартал", "2-й квартал", "3-й квартал", "4-й квартал"}, "d.m.yy", "dddd, dd mmmm, yyyy"},
    {"cs-CZ", ",", "\u00A0", false, "PRAVDA", "NEPRAVDA", "dop.", "odp.", {"Q1", "Q2", "Q3", "Q4"}, {"1. čtvrtletí", "2. čtvrtletí", "3. čtvrtletí", "4. čtvrtletí"}, "d. m. yyyy", "dddd, dd. mmmm yyyy"},
    {"sv-SE", ",", "\u00A0", false, "SANT", "FALSKT", "fm", "em", {"K1", "K2", "K3", "K4"}, {"1 kvartalet", "2 kvartalet", "3 kvartalet", "4 kvartalet"}, "yyyy-mm-dd", "dddd d mmmm yyyy"},
    {"da-DK", ",", ".", false, "SAND", "FALSK", "AM", "PM", {"K1", "K2", "K3", "K4"}, {"1. kvartal", "2. kvartal", "3. kvartal", "4. kvartal"}, "dd-mm-yy", "dddd d. mmmm yyyy"},
    {"fi-FI", ",", "\u00A0", false, "TOSI", "EPÄTOSI", "ap.", "ip.", {"N1", "N2", "N3", "N4"}, {"1. neljännes", "2. neljännes", "3. neljännes", "4. neljännes"}, "d.m.yyyy", "dddd d. mmmm yyyy"},
    {"nb-NO", ",", "\u00A0", false, "SANN", "USANN", "a.m.", "p.m.", {"K1", "K2", "K3", "K4"}, {"1. kvartal", "2. kvartal", "3. kvartal", "4. kvartal"}, "dd.mm.yy", "dddd dd. mmmm yyyy"},
    {"hu-HU", ",", "\u00A0", false, "IGAZ", "HAMIS", "de.", "du.", {"N1", "N2", "N3", "N4"}, {"I. negyedév", "II. negyedév", "III. negyedév", "IV. negyedév"}, "yyyy\". \"mm\". \"dd\".\"", "yyyy\". \"mmmm d\"., \"dddd"},
    {"tr-TR", ",", ".", false, "DOĞRU", "YANLIŞ", "AM", "PM", {"Q1", "Q2", "Q3", "Q4"}, {"1. çeyrek", "2. çeyrek", "3. çeyrek", "4. çeyrek"}, "dd.mm.yy", "dddd d.mmmm.yyyy"},
    {"ja-JP", ".", ",", false, "TRUE", "FALSE", "午前", "午後", {"Q1", "Q2", "Q3", "Q4"}, {"第１四半期", "第２四半期", "第３四半期", "第４四半期"}, "yy/m/d", "yyyy\"年\"mm\"月\"dd\"日（\"dddd\"）\""},
    {"zh-CN", ".", ",", false, "TRUE", "FALSE", "上午", "下午", {"Q1", "Q2", "Q3", "Q4"}, {"第1季度", "第2季度", "第3季度", "第4季度"}, "yy\"年\"m\"月\"d\"日\"", "yyyy\"年\"m\"月\"d\"日\u3000\"dddd"},
    {"zh-TW", ".", ",", false, "真", "假", "上午", "下午", {"1季", "2季", "3季", "4季"}, {"第1季", "第2季", "第3季", "第4季"}, "yyyy/m/d", "yyyy\"年\"m\"月\"d\"日 \"dddd"},
    {"ko-KR", ".", ",", false, "참", "거짓", "오전", "오후", {"일", "이", "삼", "사"}, {"1", "2", "3", "4"}, "yy\"년 \"m\"월 \"d\"일\"", "yyyy\"년 \"m\"월 \"d\"일 \"dddd"},
    {"el-GR", ",", ".", false, "ΣΩΣΤΌ", "ΛΆΘΟΣ", "ΠΜ", "ΜΜ", {"Q1", "Q2", "Q3", "Q4"}, {"1ο τρίμηνο", "2ο τρίμηνο", "3ο τρίμηνο", "4ο τρίμηνο"}, "d/m/yyyy", "dddd, d mmmm yyyy"},
    {"hi-IN", ".", ",", true, "सही", "गलत", "AM", "PM", {"Q1", "Q2", "Q3", "Q4"}, {"पॆहला हंत 1", "दूसरा हंत 2", "तीसरा हंत 3", "चौता हंत 4"}, "", ""},
    {"bn-IN", ".", ",", true, "সত্য", "মিথ্যা", "পূর্বাহ্ণ", "অপরাহ্ণ", {"Q1", "Q2", "Q3", "Q4"}, {"Q1", "Q2", "Q3", "Q4"}, "", ""},
    {"ta-IN", ".", ",", true, "ஸரி", "தப்ப", "AM", "PM", {"Q1", "Q2", "Q3", "Q4"}, {"வந்ந௧  1", "ரெஂட௨ 2", "மூடு௩ 3", "நால்௪ 4"}, "", ""},
    {"te-IN", ".", ",", true, "నిజము", "అపాదము", "AM", "PM", {"Q1", "Q2", "Q3", "Q4"}, {"ఒకటి  1", "రెండు  2", "మూడు 3", "నాలుగు 4"}, "", ""},
    {"mr-IN", ".", ",", true, "सही", "गलत", "AM", "PM", {"Q1", "Q2", "Q3", "Q4"}, {"पॆहला हंत 1", "दूसरा हंत 2", "तीसरा हंत 3", "चौता हंत 4"}, "", ""},
    {"gu-IN", ".", ",", true, "ખરું", "ખોટું", "AM", "PM", {"Q1", "Q2", "Q3", "Q4"}, {"ચતુર્થાંશ૧", "ચતુર્થાંશ૨", "ચતુર્થાંશ૩", "ચતુર્થાંશ૪"}, "", ""},
    {"kn-IN", ".", ",", true, "ಸಹೀ", "ಗಲತ್", "AM", "PM", {"Q1", "Q2", "Q3", "Q4"}, {"ಒಂದು  1", "ಎರಡು 2", "ಮೂರು 3", "ನಾಲೃಕ  4"}, "", ""},
    {"ml-IN", ".", ",", true, "അതെ", "അല്ല", "AM", "PM", {"Q1", "Q2", "Q3", "Q4"}, {"ആദ്യ കാല്‍ഭാഗം‍", "രണ്ടാം കാല്‍ഭാഗം‍", "മൂന്നാം കാല്‍ഭാഗം‍", "നാലാം കാല്‍ഭാഗം‍"}, "", ""},
};
// clang-format on

struct NameRow {
  std::string_view tag;  // a language ("de") or a language and country ("de-AT")
  NameForm form;
  std::array<std::string_view, 12> names;  // weekdays take the first 7
};

// Where LibreOffice names months and days otherwise than Windows' and ICU's names do. A row
// for a language and country wins over the row of its language alone. (LibreOffice's data
// holds genitive months for Czech, Ukrainian and Finnish that its dates do not show: a long
// date shows ICU's "května", "травня", "toukokuuta", so those stay ICU's.)
// clang-format off
constexpr NameRow kNames[] = {
    {"de", NameForm::kMonthAbbreviations, {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"}},
    {"de-AT", NameForm::kMonths, {"Jänner", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September", "Oktober", "November", "Dezember"}},
    {"de-AT", NameForm::kMonthsInDate, {"Jänner", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September", "Oktober", "November", "Dezember"}},
    {"de-AT", NameForm::kMonthAbbreviations, {"Jän", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"}},
    {"ru", NameForm::kMonths, {"Январь", "Февраль", "Март", "Апрель", "Май", "Июнь", "Июль", "Август", "Сентябрь", "Октябрь", "Ноябрь", "Декабрь"}},
    {"ru", NameForm::kMonthAbbreviations, {"янв", "фев", "мар", "апр", "май", "июн", "июл", "авг", "сен", "окт", "ноя", "дек"}},
    {"ru", NameForm::kDayAbbreviations, {"Вс", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"}},
    {"uk", NameForm::kMonths, {"Січень", "Лютий", "Березень", "Квітень", "Травень", "Червень", "Липень", "Серпень", "Вересень", "Жовтень", "Листопад", "Грудень"}},
    {"uk", NameForm::kMonthAbbreviations, {"січ", "лют", "бер", "квт", "трв", "чер", "лип", "сер", "вер", "жов", "лис", "гру"}},
    {"uk", NameForm::kDayAbbreviations, {"Нд", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"}},
    {"uk", NameForm::kDays, {"неділя", "понеділок", "вівторок", "середа", "четвер", "п'ятниця", "субота"}},
    {"ja", NameForm::kMonths, {"一月", "二月", "三月", "四月", "五月", "六月", "七月", "八月", "九月", "十月", "十一月", "十二月"}},
    {"ja", NameForm::kMonthsInDate, {"一月", "二月", "三月", "四月", "五月", "六月", "七月", "八月", "九月", "十月", "十一月", "十二月"}},
    {"zh-TW", NameForm::kMonths, {"一月", "二月", "三月", "四月", "五月", "六月", "七月", "八月", "九月", "十月", "十一月", "十二月"}},
    {"zh-TW", NameForm::kMonthsInDate, {"一月", "二月", "三月", "四月", "五月", "六月", "七月", "八月", "九月", "十月", "十一月", "十二月"}},
    {"zh-TW", NameForm::kDayAbbreviations, {"日", "一", "二", "三", "四", "五", "六"}},
    {"zh", NameForm::kDayAbbreviations, {"日", "一", "二", "三", "四", "五", "六"}},
    {"pt", NameForm::kMonthAbbreviations, {"jan", "fev", "mar", "abr", "mai", "jun", "jul", "ago", "set", "out", "nov", "dez"}},
    {"pt", NameForm::kDayAbbreviations, {"dom", "seg", "ter", "qua", "qui", "sex", "sáb"}},
    {"pl", NameForm::kMonthAbbreviations, {"I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX", "X", "XI", "XII"}},
    {"cs", NameForm::kMonthAbbreviations, {"I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX", "X", "XI", "XII"}},
    {"sv", NameForm::kMonthAbbreviations, {"jan", "feb", "mar", "apr", "maj", "jun", "jul", "aug", "sep", "okt", "nov", "dec"}},
    {"sv", NameForm::kDayAbbreviations, {"sö", "må", "ti", "on", "to", "fr", "lö"}},
    {"da", NameForm::kMonthAbbreviations, {"jan", "feb", "mar", "apr", "maj", "jun", "jul", "aug", "sep", "okt", "nov", "dec"}},
    {"da", NameForm::kDayAbbreviations, {"søn", "man", "tir", "ons", "tor", "fre", "lør"}},
    {"fi", NameForm::kMonthAbbreviations, {"tammi", "helmi", "maalis", "huhti", "touko", "kesä", "heinä", "elo", "syys", "loka", "marras", "joulu"}},
    {"fi", NameForm::kDays, {"sunnuntai", "maanantai", "tiistai", "keskiviikko", "torstai", "perjantai", "lauantai"}},
    {"nb", NameForm::kMonthAbbreviations, {"jan.", "feb.", "mars", "april", "mai", "juni", "juli", "aug.", "sep.", "okt.", "nov.", "des."}},
    {"nb", NameForm::kDayAbbreviations, {"sø.", "ma.", "ti.", "on.", "to.", "fr.", "lø."}},
    {"hu", NameForm::kMonthAbbreviations, {"I.", "II.", "III.", "IV.", "V.", "VI.", "VII.", "VIII.", "IX.", "X.", "XI.", "XII."}},
    {"ko", NameForm::kMonths, {"January", "February", "March", "April", "May", "June", "July", "August", "September", "October", "November", "December"}},
    {"ko", NameForm::kMonthsInDate, {"January", "February", "March", "April", "May", "June", "July", "August", "September", "October", "November", "December"}},
    {"ko", NameForm::kMonthAbbreviations, {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"}},
    {"el", NameForm::kMonths, {"Ιανουαρίου", "Φεβρουαρίου", "Μαρτίου", "Απριλίου", "Μαΐου", "Ιουνίου", "Ιουλίου", "Αυγούστου", "Σεπτεμβρίου", "Οκτωβρίου", "Νοεμβρίου", "Δεκεμβρίου"}},
    {"el", NameForm::kMonthAbbreviations, {"Ιαν", "Φεβ", "Μαρ", "Απρ", "Μαϊ", "Ιουν", "Ιουλ", "Αυγ", "Σεπ", "Οκτ", "Νοε", "Δεκ"}},
    {"el", NameForm::kDayAbbreviations, {"Κυρ", "Δευ", "Τρι", "Τετ", "Πεμ", "Παρ", "Σαβ"}},
    {"hi", NameForm::kMonths, {"जनवरी", "फरवरी", "मार्च", "अप्रॆल", "मई", "जून", "जुलाइ", "अगस्त", "सितंबर", "अक्तॊबर", "नवंबर", "दिसंबर"}},
    {"hi", NameForm::kMonthsInDate, {"जनवरी", "फरवरी", "मार्च", "अप्रॆल", "मई", "जून", "जुलाइ", "अगस्त", "सितंबर", "अक्तॊबर", "नवंबर", "दिसंबर"}},
    {"hi", NameForm::kMonthAbbreviations, {"जनवरी.", "फरवरी.", "मार्च.", "अप्रॆल.", "मई.", "जून.", "जुलाइ.", "अगस्त.", "सितंबर.", "अक्तॊबर.", "नवंबर.", "दिसेंबर."}},
    {"hi", NameForm::kDays, {"रविवार", "सॊमवार्", "मंगलवार", "बुधवार", "गुरुवार", "शुक्रवार", "शनिवार"}},
    {"hi", NameForm::kDayAbbreviations, {"रवि.", "सॊम.", "मंगल.", "बुध.", "गुरु.", "शुक्र.", "शनि."}},
};
// clang-format on

// "de-CH" from a Windows locale id; empty when ICU knows none.
std::string TagOf(std::uint32_t lcid) {
  char id[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  const std::int32_t length = uloc_getLocaleForLCID(lcid, id, sizeof id - 1, &status);
  if (U_FAILURE(status) || length <= 0) return {};
  // "zh_Hant_TW" -> "zh-TW": the rows name no script.
  std::string tag;
  std::string_view rest(id, static_cast<std::size_t>(length));
  while (!rest.empty()) {
    const std::string_view part = rest.substr(0, rest.find('_'));
    rest.remove_prefix(std::min(rest.size(), part.size() + 1));
    if (!tag.empty() && part.size() == 4) continue;
    if (!tag.empty()) tag += '-';
    tag += part;
  }
  return tag;
}

std::string_view Language(std::string_view tag) { return tag.substr(0, tag.find('-')); }

constexpr std::size_t kForms = 5;

// What the tables hold for one id: its locale row and its name rows by form.
struct Resolved {
  const LoLocale* locale = nullptr;
  std::array<const NameRow*, kForms> names = {};
};

Resolved Resolve(std::uint32_t lcid) {
  Resolved r;
  if (lcid == 0) {
    r.locale = &kLocales[0];
    return r;
  }
  const std::string tag = TagOf(lcid);
  if (tag.empty()) return r;
  for (const LoLocale& row : kLocales) {
    if (row.tag == tag) {
      r.locale = &row;
      break;
    }
    if (r.locale == nullptr && Language(row.tag) == Language(tag)) r.locale = &row;
  }
  for (const NameRow& row : kNames) {
    const NameRow*& slot = r.names[static_cast<std::size_t>(row.form)];
    if (row.tag == tag || (slot == nullptr && row.tag == Language(tag))) slot = &row;
  }
  return r;
}

// Each id is resolved once (ids are few in any workbook, and at most 65,536 exist); the id
// asked last on this thread is at hand without the lock, as cells ask it over and over.
const Resolved& ResolvedFor(std::uint32_t lcid) {
  thread_local std::uint32_t last_lcid = 0;
  thread_local const Resolved* last = nullptr;
  if (last != nullptr && lcid == last_lcid) return *last;
  static std::mutex mutex;
  static std::map<std::uint32_t, Resolved> resolved;
  const std::lock_guard<std::mutex> lock(mutex);
  auto it = resolved.find(lcid);
  if (it == resolved.end()) it = resolved.emplace(lcid, Resolve(lcid)).first;
  last_lcid = lcid;
  last = &it->second;  // map nodes stay where they are
  return *last;
}

}  // namespace

const LoLocale* FindLoLocale(std::uint32_t lcid) { return ResolvedFor(lcid).locale; }

std::optional<std::string_view> LoName(std::uint32_t lcid, NameForm form, int index) {
  const NameRow* row = ResolvedFor(lcid).names[static_cast<std::size_t>(form)];
  if (row == nullptr || index < 0 || index >= 12) return std::nullopt;
  return row->names[static_cast<std::size_t>(index)];
}

}  // namespace cw::sheet::numfmt
