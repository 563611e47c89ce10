#include "run/column_meanings.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <utility>

#include "sheet/block_rows.h"

namespace cw::run {
namespace {

using mapping::FieldKind;
using mapping::LabelFamily;
using vcard::Date;
using vcard::DateOrder;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A cell's text as a note quotes it: at most 40 bytes, cut on a character boundary.
std::string Quoted(std::string_view text) {
  constexpr std::size_t kLongest = 40;
  if (text.size() <= kLongest) return "\"" + std::string(text) + "\"";
  std::size_t end = kLongest;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return "\"" + std::string(text.substr(0, end)) + "...\"";
}

std::string_view OrderWords(DateOrder order) {
  switch (order) {
    case DateOrder::kMonthDayYear:
      return "month-first";
    case DateOrder::kDayMonthYear:
      return "day-first";
    case DateOrder::kYearMonthDay:
      return "year-first";
  }
  return "";
}

std::size_t Index(DateOrder order) { return static_cast<std::size_t>(order); }

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Outlook writes "0/0/00" for a contact without the date.
bool NoDate(std::string_view text) {
  text = Trim(text);
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c == '0' || c == '/'; });
}

// Google writes a birthday without its year as "--03-07".
bool WithoutYear(std::string_view text) {
  text = Trim(text);
  return text.size() == 7 && text.substr(0, 2) == "--" && AllDigits(text.substr(2, 2)) && text[4] == '-' &&
         AllDigits(text.substr(5, 2));
}

}  // namespace

std::string IsoDate(const Date& d) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
  return text;
}

void RowNotes::Add(std::size_t row, std::string why) {
  ++count_;
  if (shown_.size() < kShown) shown_.push_back("row " + std::to_string(row) + ": " + std::move(why));
}

std::string RowNotes::Text() const {
  std::string text;
  for (const std::string& line : shown_) {
    if (!text.empty()) text += '\n';
    text += line;
  }
  if (count_ > shown_.size()) text += "\n... and " + std::to_string(count_ - shown_.size()) + " more.";
  return text;
}

void DateColumn::See(std::string_view text) {
  const vcard::DateReadings readings = dates_->Readings(text);
  if (readings.fixed || !readings.Numeric()) return;
  ++numeric_;
  for (std::size_t i = 0; i < reads_.size(); ++i) {
    if (readings.by_order[i]) ++reads_[i];
  }
}

void DateColumn::Decide() {
  const auto orders = vcard::DateRecognizer::OrdersFrom(dates_->Order());
  for (const DateOrder order : orders) {
    if (reads_[Index(order)] == numeric_) {
      order_ = order;
      return;
    }
  }
  // The cells contradict each other: the order that reads most of them.
  contradicted_ = true;
  order_ = orders[0];
  for (const DateOrder order : orders) {
    if (reads_[Index(order)] > reads_[Index(*order_)]) order_ = order;
  }
}

std::optional<Date> DateColumn::Read(std::string_view text, std::size_t row, RowNotes& notes) const {
  const vcard::DateReadings readings = dates_->Readings(text);
  if (readings.fixed) return readings.fixed;
  const DateOrder order = order_.value_or(dates_->Order());
  if (const auto& date = readings.by_order[Index(order)]) return date;
  for (const DateOrder other : vcard::DateRecognizer::OrdersFrom(order)) {
    if (const auto& date = readings.by_order[Index(other)]) {
      // Only another order reads it: that reading is the one date it can be.
      if (order_) {
        notes.Add(row, Quoted(text) + " does not fit the " + std::string(OrderWords(order)) +
                           " order of the column's other dates; " + std::string(what_) + " written as " +
                           IsoDate(*date));
      }
      return date;
    }
  }
  if (Trim(text).empty() || NoDate(text)) return std::nullopt;
  if (WithoutYear(text)) {
    notes.Add(row, Quoted(text) + " has no year; no " + std::string(what_) + " written");
  } else {
    notes.Add(row, Quoted(text) + " is not a date; no " + std::string(what_) + " written");
  }
  return std::nullopt;
}

std::optional<Date> BirthdayFromParts(const vcard::DateRecognizer& dates, std::string_view year, std::string_view month,
                                      std::string_view day, std::size_t row, RowNotes& notes) {
  year = Trim(year);
  month = Trim(month);
  day = Trim(day);
  if (year.empty() && month.empty() && day.empty()) return std::nullopt;
  std::optional<Date> date;
  if (AllDigits(year) && year.size() == 4 && AllDigits(day) && day.size() <= 2) {
    // "1980", "3", "7" or "1980", "March", "7": written so that only one reading exists.
    const std::string text = AllDigits(month) && month.size() <= 2
                                 ? std::string(year) + "-" + std::string(month) + "-" + std::string(day)
                                 : std::string(day) + " " + std::string(month) + " " + std::string(year);
    date = dates.Readings(text).fixed;
  }
  if (!date) {
    notes.Add(row, "birth year, month and day " + Quoted(year) + ", " + Quoted(month) + ", " + Quoted(day) +
                       " make no date; no birthday written");
  }
  return date;
}

LabelMeaning ReadLabel(LabelFamily family, std::string_view label) {
  LabelMeaning meaning;
  label = Trim(label);
  if (label.substr(0, 2) == "* ") {
    meaning.preferred = true;
    label = Trim(label.substr(2));
  }
  const std::string word = Lower(label);
  struct Word {
    std::string_view text;
    FieldKind kind;
  };
  static constexpr Word kPhone[] = {
      {"mobile", FieldKind::kCellular}, {"work", FieldKind::kWorkVoice},   {"home", FieldKind::kHomeVoice},
      {"main", FieldKind::kOtherPhone}, {"home fax", FieldKind::kHomeFax}, {"work fax", FieldKind::kWorkFax},
      {"pager", FieldKind::kPager},     {"other", FieldKind::kOtherPhone},
  };
  static constexpr Word kEmail[] = {
      {"home", FieldKind::kEmailHome}, {"work", FieldKind::kEmailWork}, {"other", FieldKind::kEmailOther}};
  static constexpr Word kWebsite[] = {{"home", FieldKind::kWebsiteHome},
                                      {"home page", FieldKind::kWebsiteHome},
                                      {"homepage", FieldKind::kWebsiteHome},
                                      {"work", FieldKind::kWebsiteWork}};
  static constexpr Word kAddress[] = {{"home", FieldKind::kHomeAddress}, {"work", FieldKind::kWorkAddress}};
  std::span<const Word> words;
  switch (family) {
    case LabelFamily::kPhone:
      words = kPhone;
      break;
    case LabelFamily::kEmail:
      words = kEmail;
      break;
    case LabelFamily::kWebsite:
      words = kWebsite;
      break;
    case LabelFamily::kAddress:
      words = kAddress;
      break;
  }
  for (const Word& w : words) {
    if (w.text == word) meaning.kind = w.kind;
  }
  return meaning;
}

FieldKind MoveAddressKind(FieldKind kind, FieldKind to) {
  const int k = static_cast<int>(kind);
  const int home = static_cast<int>(FieldKind::kHomeAddress);
  const int work = static_cast<int>(FieldKind::kWorkAddress);
  const int part = k >= work ? k - work : k - home;
  return static_cast<FieldKind>(static_cast<int>(to) + part);
}

bool LearnDateColumns(SheetEngine& engine, const std::string& workbook_path, const std::string& address,
                      SheetRange* range, std::size_t block_columns,
                      const std::vector<std::pair<std::size_t, DateColumn*>>& lines) {
  try {
    if (range) {
      const std::uint32_t first_row = range->Row();
      const std::uint32_t last_row = range->LastRow();
      const std::uint32_t first_column = range->Column();
      for (std::uint32_t row = first_row; row <= last_row && last_row >= first_row; ++row) {
        for (const auto& [line, column] : lines) {
          const std::uint32_t sheet_column = first_column + static_cast<std::uint32_t>(line) - 1;
          if (range->CellDate(row, sheet_column)) continue;
          column->See(range->CellText(row, sheet_column));
        }
      }
    } else {
      const std::unique_ptr<SheetApplication> app = engine.OpenWorkbook(workbook_path);
      std::unique_ptr<SheetWorkbook> workbook = app->Workbooks(app->WorkbooksCount());
      std::unique_ptr<SheetRange> block = app->Range(address);
      std::vector<bool> wanted(block_columns);
      for (const auto& [line, column] : lines) wanted.at(line - 1) = true;
      std::unique_ptr<sheet::BlockRows> rows = block->Rows(wanted);
      if (!rows) return LearnDateColumns(engine, workbook_path, address, block.get(), block_columns, lines);
      std::vector<std::string> texts;
      while (rows->NextRow(texts)) {
        for (const auto& [line, column] : lines) {
          if (line <= texts.size() && !rows->DateOf(line - 1)) column->See(texts[line - 1]);
        }
      }
      rows.reset();
      block.reset();
      workbook->Close();
      app->Quit();
    }
  } catch (const std::exception&) {
    return false;
  }
  for (const auto& [line, column] : lines) column->Decide();
  return true;
}

}  // namespace cw::run
