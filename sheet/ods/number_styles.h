// OpenDocument number styles (number:number-style, currency-style, percentage-style,
// date-style, time-style, boolean-style, text-style, with their style:map conditions) turned
// into the format codes that the number-format renderer shows, as LibreOffice itself turns
// them into its own codes when it loads a file. The language a style names goes into the
// code as a locale tag ("[$-407]"), which then picks the names of months and days and the
// separators of numbers.
//
// Written by hand: no library in the archive reads ODF number styles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/xlsx/xml_part.h"

namespace cw::sheet::ods {

// A style's code, and whether the code shows exactly what the style shows: a style with
// parts the renderer has no token for (quarters, weeks, eras) is not, and a cell under it
// shows the text LibreOffice stored beside its value.
struct StyleCode {
  std::string code;
  bool exact = true;
};

class NumberStyles {
 public:
  // Whether `name` (a local element name) begins a number style.
  static bool IsStyleElement(std::string_view name);

  // Elements inside a number style, the style's own start and end included; Text gets the
  // character data while Capturing() is true.
  void Start(std::string_view name, const xlsx::Attributes& attributes);
  void End(std::string_view name);
  void Text(std::string_view text);
  bool Capturing() const { return capturing_; }
  // True between a style's start and its end.
  bool InStyle() const { return depth_ > 0; }

  // "[$-407]" for a language and country ("de", "DE"); empty when ICU knows no Windows id.
  static std::string LocaleTag(std::string_view language, std::string_view country);
  // The locale tag of styles that name no language of their own: the document's language.
  void SetDocumentLanguage(std::string tag) { document_tag_ = std::move(tag); }
  const std::string& DocumentLanguage() const { return document_tag_; }

  // The code of the style named `name`, its conditions resolved; nothing for an unknown name.
  std::optional<StyleCode> CodeOf(const std::string& name) const;
  std::size_t Count() const { return styles_.size(); }

 private:
  enum class Kind : std::uint8_t { kNumber, kCurrency, kPercentage, kDate, kTime, kBoolean, kText };
  struct Map {
    std::string condition;  // "[>=0]"
    std::string style;
  };
  struct Style {
    Kind kind = Kind::kNumber;
    std::string body;
    std::string tag;  // "[$-407]", or empty
    bool exact = true;
    bool elapsed = false;  // time-style: hours past 24 keep counting ([h])
    // date-style with number:format-source="language": the language's own short or long date.
    bool language_format = false;
    bool long_date = false;
    std::vector<Map> maps;
  };
  // The number:number (or scientific-number, fraction) being read, until its end.
  struct Digits {
    std::string element;
    int decimals = -1;  // -1: General
    int min_decimals = -1;
    int min_integers = 0;
    bool grouping = false;
    double factor = 1;
    int exponent_digits = 0;
    int exponent_interval = 0;  // engineering form: the exponent a multiple of this
    std::string decimal_replacement;
    int numerator_digits = 0;
    int denominator_digits = 0;
    std::uint32_t denominator = 0;
    bool whole_part = false;
    std::vector<std::pair<int, std::string>> embedded;  // position from the decimal point, text
  };

  void AppendLiteral(std::string_view text);
  void FinishDigits();

  std::map<std::string, Style, std::less<>> styles_;
  std::string document_tag_;
  Style current_;
  std::string current_name_;
  int depth_ = 0;
  bool capturing_ = false;
  std::string captured_;
  std::string captured_element_;
  std::optional<Digits> digits_;
  bool hours_seen_ = false;
  bool minutes_unsure_ = false;
  char last_unit_ = 0;
  int embedded_position_ = 0;
};

}  // namespace cw::sheet::ods
