#include "sheet/ods/number_styles.h"

#include <unicode/uloc.h>

#include <charconv>
#include <cmath>
#include <cstdio>

#include "sheet/numfmt/lo_locale_data.h"

namespace cw::sheet::ods {
namespace {

bool Is(const char* value, std::string_view expected) { return value != nullptr && expected == value; }

int IntAttribute(const xlsx::Attributes& attributes, std::string_view name, int fallback, int most) {
  const char* value = attributes.Get(name);
  if (value == nullptr) return fallback;
  int n = 0;
  const std::string_view text(value);
  const auto res = std::from_chars(text.data(), text.data() + text.size(), n);
  if (res.ec != std::errc() || n < 0) return fallback;
  return n < most ? n : most;
}

// A format code places at most 30 decimals and a few dozen integer digits.
constexpr int kMostDigits = 30;

// The locale tag of a style's language, script and country.
std::string StyleTag(const xlsx::Attributes& attributes) {
  const char* language = attributes.Get("language");
  if (language == nullptr || *language == '\0') return {};
  std::string country;
  if (const char* script = attributes.Get("script"); script != nullptr && *script != '\0') country = script;
  if (const char* c = attributes.Get("country"); c != nullptr && *c != '\0')
    country += (country.empty() ? "" : "_") + std::string(c);
  return NumberStyles::LocaleTag(language, country);
}

// "value()>=0" -> "[>=0]"; empty when the condition is of another form.
std::string Condition(std::string_view condition) {
  constexpr std::string_view kValue = "value()";
  while (!condition.empty() && condition.front() == ' ') condition.remove_prefix(1);
  if (condition.substr(0, kValue.size()) != kValue) return {};
  condition.remove_prefix(kValue.size());
  while (!condition.empty() && condition.front() == ' ') condition.remove_prefix(1);
  std::string op;
  for (const std::string_view o : {"<=", ">=", "!=", "<>", "<", ">", "=="}) {
    if (condition.substr(0, o.size()) == o) {
      op = o == "!=" ? "<>" : o == "==" ? "=" : std::string(o);
      condition.remove_prefix(o.size());
      break;
    }
  }
  if (op.empty() && !condition.empty() && condition.front() == '=') {
    op = "=";
    condition.remove_prefix(1);
  }
  while (!condition.empty() && condition.front() == ' ') condition.remove_prefix(1);
  while (!condition.empty() && condition.back() == ' ') condition.remove_suffix(1);
  double limit = 0;
  const auto res = std::from_chars(condition.data(), condition.data() + condition.size(), limit);
  if (op.empty() || condition.empty() || res.ec != std::errc() || res.ptr != condition.data() + condition.size()) {
    return {};
  }
  return "[" + op + std::string(condition) + "]";
}

}  // namespace

std::string NumberStyles::LocaleTag(std::string_view language, std::string_view country) {
  if (language.empty() || language.size() + country.size() > 40) return {};
  std::string id(language);
  if (!country.empty()) id += "_" + std::string(country);
  const std::uint32_t lcid = uloc_getLCID(id.c_str());
  if (lcid == 0) return {};
  char tag[16];
  std::snprintf(tag, sizeof tag, "[$-%X]", static_cast<unsigned>(lcid));
  return tag;
}

bool NumberStyles::IsStyleElement(std::string_view name) {
  return name == "number-style" || name == "currency-style" || name == "percentage-style" || name == "date-style" ||
         name == "time-style" || name == "boolean-style" || name == "text-style";
}

void NumberStyles::AppendLiteral(std::string_view text) {
  // A percent sign of a percentage style scales the value, as the style means it.
  std::string plain;
  const auto flush = [&] {
    if (plain.empty()) return;
    current_.body += '"';
    for (const char c : plain) {
      if (c == '"') {
        current_.body += "\"\\\"\"";
      } else {
        current_.body += c;
      }
    }
    current_.body += '"';
    plain.clear();
  };
  for (const char c : text) {
    if (c == '%' && current_.kind == Kind::kPercentage) {
      flush();
      current_.body += '%';
    } else {
      plain += c;
    }
  }
  flush();
}

void NumberStyles::Start(std::string_view name, const xlsx::Attributes& attributes) {
  if (depth_ == 0) {
    current_ = Style{};
    current_name_ = attributes.Get("name") ? attributes.Get("name") : "";
    if (name == "currency-style") current_.kind = Kind::kCurrency;
    if (name == "percentage-style") current_.kind = Kind::kPercentage;
    if (name == "date-style") current_.kind = Kind::kDate;
    if (name == "time-style") current_.kind = Kind::kTime;
    if (name == "boolean-style") current_.kind = Kind::kBoolean;
    if (name == "text-style") current_.kind = Kind::kText;
    current_.tag = StyleTag(attributes);
    current_.elapsed = current_.kind == Kind::kTime && Is(attributes.Get("truncate-on-overflow"), "false");
    current_.language_format = current_.kind == Kind::kDate && Is(attributes.Get("format-source"), "language");
    hours_seen_ = false;
    minutes_unsure_ = false;
    last_unit_ = 0;
    depth_ = 1;
    return;
  }
  ++depth_;
  // A code longer than this shows as General in the renderer; such a style shows its text.
  constexpr std::size_t kLongestBody = 1024;
  if (current_.body.size() > kLongestBody) {
    current_.exact = false;
    current_.body.clear();
  }
  const bool long_form = Is(attributes.Get("style"), "long");
  std::string& body = current_.body;
  if (depth_ == 3 && digits_ && name == "embedded-text") {
    embedded_position_ = IntAttribute(attributes, "position", 0, kMostDigits);
    captured_.clear();
    capturing_ = true;
    return;
  }
  if (depth_ != 2) return;
  if (name == "number" || name == "scientific-number" || name == "fraction") {
    Digits d;
    d.element = std::string(name);
    d.decimals = IntAttribute(attributes, "decimal-places", -1, kMostDigits);
    d.min_decimals = IntAttribute(attributes, "min-decimal-places", -1, kMostDigits);
    d.min_integers = IntAttribute(attributes, "min-integer-digits", 0, kMostDigits);
    d.grouping = Is(attributes.Get("grouping"), "true");
    if (const char* factor = attributes.Get("display-factor")) {
      const std::string_view f(factor);
      std::from_chars(f.data(), f.data() + f.size(), d.factor);
    }
    d.exponent_digits = IntAttribute(attributes, "min-exponent-digits", 1, 5);
    d.exponent_interval = IntAttribute(attributes, "exponent-interval", 0, 9);
    if (const char* replacement = attributes.Get("decimal-replacement")) d.decimal_replacement = replacement;
    d.numerator_digits = IntAttribute(attributes, "min-numerator-digits", 1, 7);
    d.denominator_digits = IntAttribute(attributes, "min-denominator-digits", 1, 7);
    d.denominator = static_cast<std::uint32_t>(IntAttribute(attributes, "denominator-value", 0, 9999999));
    d.whole_part = attributes.Get("min-integer-digits") != nullptr;
    digits_ = std::move(d);
  } else if (name == "text" || name == "currency-symbol") {
    captured_.clear();
    capturing_ = true;
  } else if (name == "text-content") {
    body += '@';
  } else if (name == "boolean") {
    body += "BOOLEAN";
  } else if (name == "quarter") {
    body += long_form ? "QQ" : "Q";
  } else if (name == "era") {
    // The Japanese era: "R" or "令和", with the year in it from number:year's gengou calendar.
    body += long_form ? "ggg" : "g";
  } else if (name == "year" && Is(attributes.Get("calendar"), "gengou")) {
    body += long_form ? "ee" : "e";
    last_unit_ = 'y';
  } else if (name == "day") {
    body += long_form ? "dd" : "d";
    last_unit_ = 'd';
  } else if (name == "month") {
    const bool textual = Is(attributes.Get("textual"), "true");
    current_.long_date = current_.long_date || textual;
    body += textual ? (long_form ? "mmmm" : "mmm") : (long_form ? "mm" : "m");
    // Right after an hour, "m" would read as minutes.
    if (last_unit_ == 'h') current_.exact = false;
    last_unit_ = 'M';
  } else if (name == "year") {
    body += long_form ? "yyyy" : "yy";
    last_unit_ = 'y';
  } else if (name == "day-of-week") {
    body += long_form ? "dddd" : "ddd";
    current_.long_date = true;
  } else if (name == "hours") {
    const std::string h = long_form ? "hh" : "h";
    body += current_.elapsed && !hours_seen_ ? "[" + h + "]" : h;
    hours_seen_ = true;
    last_unit_ = 'h';
  } else if (name == "minutes") {
    const std::string m = long_form ? "mm" : "m";
    body += current_.elapsed && !hours_seen_ ? "[" + m + "]" : m;
    // Minutes neither after an hour nor before seconds would read as a month.
    if (last_unit_ != 'h' && !(current_.elapsed && !hours_seen_)) minutes_unsure_ = true;
    last_unit_ = 'm';
  } else if (name == "seconds") {
    body += long_form ? "ss" : "s";
    const int decimals = IntAttribute(attributes, "decimal-places", 0, 9);
    if (decimals > 0) body += "." + std::string(static_cast<std::size_t>(decimals), '0');
    minutes_unsure_ = false;
    last_unit_ = 's';
  } else if (name == "am-pm") {
    body += "AM/PM";
  } else if (name == "week-of-year") {
    current_.exact = false;
  } else if (name == "map") {
    const char* condition = attributes.Get("condition");
    const char* style = attributes.Get("apply-style-name");
    std::string bracket = condition ? Condition(condition) : std::string();
    if (bracket.empty() || style == nullptr) {
      current_.exact = false;
    } else {
      current_.maps.push_back({std::move(bracket), style});
    }
  }
}

void NumberStyles::Text(std::string_view text) {
  // A literal longer than a format code may be is of no use; the cap keeps hostile text out.
  if (captured_.size() + text.size() <= 1024) captured_.append(text);
}

void NumberStyles::FinishDigits() {
  const Digits d = *digits_;
  digits_.reset();
  std::string& body = current_.body;
  if (d.element == "number" && d.decimals < 0 && d.embedded.empty()) {
    body += "General";
    return;
  }
  // The integer placeholders: the required zeros, and enough '#' to carry embedded text.
  int places = std::max(d.min_integers, d.element == "scientific-number" ? d.exponent_interval : 0);
  for (const auto& [position, text] : d.embedded) places = std::max(places, position + 1);
  if (d.element == "fraction" && !d.whole_part) {
    places = 0;
  } else if (places == 0) {
    places = 1;
  }
  std::string integer;
  for (int p = places - 1; p >= 0; --p) {
    integer += p < d.min_integers ? '0' : '#';
    if (d.grouping && p == 3) integer += ',';
    for (const auto& [position, text] : d.embedded) {
      if (position == p && p > 0) integer += "\"" + text + "\"";
    }
  }
  if (d.grouping && places <= 3) integer = "#," + std::string(3 - std::min(places, 3), '#') + integer;
  for (const auto& [position, text] : d.embedded) {
    if (position == 0) integer += "\"" + text + "\"";
  }
  if (d.element == "fraction") {
    const std::string numerator(static_cast<std::size_t>(d.numerator_digits), '?');
    const std::string denominator = d.denominator > 0
                                        ? std::to_string(d.denominator)
                                        : std::string(static_cast<std::size_t>(d.denominator_digits), '?');
    body += (integer.empty() ? "" : integer + " ") + numerator + "/" + denominator;
    return;
  }
  body += integer;
  const int decimals = d.decimals < 0 ? 0 : d.decimals;
  const int required = d.min_decimals < 0 ? decimals : std::min(d.min_decimals, decimals);
  // Dashes for the decimals of a whole number ("12.--"): LibreOffice's own form of them.
  const bool dashes = !d.decimal_replacement.empty() &&
                      d.decimal_replacement.find_first_not_of('-') == std::string::npos && decimals > 0;
  if (!d.decimal_replacement.empty() && !dashes) current_.exact = false;
  if (dashes) {
    body += '.' + std::string(static_cast<std::size_t>(decimals), '-');
  } else if (decimals > 0) {
    body += '.';
    body += std::string(static_cast<std::size_t>(required), '0');
    body += std::string(static_cast<std::size_t>(decimals - required), '#');
  }
  for (double f = d.factor; f >= 1000 && body.size() < 300; f /= 1000) body += ',';
  if (d.element == "scientific-number") body += "E+" + std::string(static_cast<std::size_t>(d.exponent_digits), '0');
}

void NumberStyles::End(std::string_view name) {
  if (depth_ == 0) return;
  --depth_;
  if (depth_ == 0) {
    if (minutes_unsure_) current_.exact = false;
    if (!current_name_.empty()) styles_.insert_or_assign(current_name_, std::move(current_));
    capturing_ = false;
    digits_.reset();
    return;
  }
  if (depth_ == 2 && digits_ && name == "embedded-text") {
    capturing_ = false;
    std::string text;
    for (const char c : captured_) {
      if (c != '"') text += c;
    }
    digits_->embedded.emplace_back(embedded_position_, std::move(text));
    return;
  }
  if (depth_ != 1) return;
  if (name == "text" || name == "currency-symbol") {
    capturing_ = false;
    AppendLiteral(captured_);
  } else if (digits_ && (name == "number" || name == "scientific-number" || name == "fraction")) {
    FinishDigits();
  }
}

std::optional<StyleCode> NumberStyles::CodeOf(const std::string& name) const {
  const auto it = styles_.find(name);
  if (it == styles_.end()) return std::nullopt;
  const Style& style = it->second;
  StyleCode result;
  result.exact = style.exact;
  const auto body_of = [&](const Style& s) {
    std::string body = s.body;
    if (body.empty()) body = s.kind == Kind::kText ? "@" : s.kind == Kind::kBoolean ? "BOOLEAN" : "General";
    const std::string& tag = s.tag.empty() ? document_tag_ : s.tag;
    if (s.language_format && tag.size() > 3) {
      // LibreOffice shows its language's own date here, not the elements the file writes.
      std::uint32_t lcid = 0;
      std::from_chars(tag.data() + 3, tag.data() + tag.size() - 1, lcid, 16);
      if (const numfmt::LoLocale* lo = numfmt::FindLoLocale(lcid)) {
        const std::string_view own = s.long_date ? lo->long_date : lo->short_date;
        if (!own.empty()) body = own;
      }
    }
    return tag + body;
  };
  // The renderer takes two conditions and a section for the rest; a third condition, or a
  // map to a style that maps again, is beyond it.
  if (style.maps.size() > 2) result.exact = false;
  std::string code;
  for (std::size_t i = 0; i < style.maps.size() && i < 2; ++i) {
    const auto target = styles_.find(style.maps[i].style);
    if (target == styles_.end() || !target->second.maps.empty()) {
      result.exact = false;
      continue;
    }
    code += style.maps[i].condition + body_of(target->second) + ";";
    if (!target->second.exact) result.exact = false;
  }
  code += body_of(style);
  result.code = std::move(code);
  return result;
}

}  // namespace cw::sheet::ods
