// The export run's view of the engine of sheet/: one Application per run, ranges resolved
// on the workbook opened last, as the automation model resolves them on the active one. The
// workbook is opened for streaming: OpenWorkbook reads its shared parts, and the block's
// rows come out of the sheet while the run writes the files of the rows before.
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "run/spreadsheet.h"
#include "sheet/calendar.h"
#include "sheet/engine.h"
#include "sheet/numfmt/builtin_formats.h"
#include "sheet/numfmt/format_code.h"

namespace cw::run {
namespace {

// Compiled number formats by format id, so a birthday column compiles its format once.
using FormatCache = std::unordered_map<std::uint32_t, sheet::numfmt::CompiledFormat>;

// A number cell under a format whose section for it shows a calendar date gives that date;
// the time of day a date-time holds is dropped.
std::optional<vcard::Date> DateInCell(const sheet::OpenedWorkbook& workbook, const sheet::Range& on, std::uint32_t row,
                                      std::uint32_t column, const sheet::FormatLocale& locale, FormatCache& formats) {
  const sheet::Workbook& model = workbook.Model();
  if (!workbook.IsOpen() || on.SheetIndex() >= model.sheets.size() || row < 1 || column < 1) return std::nullopt;
  const sheet::Cell* cell = model.sheets[on.SheetIndex()].Find(row - 1, column - 1);
  if (!cell || cell->kind != sheet::CellKind::kNumber || !(cell->number >= 0 && cell->number < 2958466)) {
    return std::nullopt;
  }
  const std::uint32_t id = model.FormatIdOf(cell->style);
  auto cached = formats.find(id);
  if (cached == formats.end()) {
    const std::string_view custom = model.CustomCode(id);
    cached = formats
                 .emplace(id, sheet::numfmt::CompileFormat(custom.empty() ? sheet::numfmt::BuiltinFormatCode(id, locale)
                                                                          : std::string(custom)))
                 .first;
  }
  const sheet::numfmt::CompiledFormat& format = cached->second;
  if (!format.valid || format.number_sections == 0) return std::nullopt;
  // A positive number takes the first section unless a condition sends it elsewhere.
  const sheet::numfmt::Section* section = &format.sections[0];
  for (int i = 0; i < format.number_sections; ++i) {
    if (!format.sections[i].condition.Present() || format.sections[i].condition.Holds(cell->number)) {
      section = &format.sections[i];
      break;
    }
  }
  if (section->kind != sheet::numfmt::SectionKind::kDate || !section->has_date) return std::nullopt;
  sheet::CivilDate date;
  if (!sheet::SerialToDate(static_cast<std::int64_t>(cell->number), model.date_system, date)) return std::nullopt;
  if (!sheet::IsValidDate(date.year, date.month, date.day)) return std::nullopt;  // "1/0/1900", "2/29/1900"
  return vcard::Date{date.year, date.month, date.day};
}

class EngineRange : public SheetRange {
 public:
  EngineRange(sheet::OpenedWorkbook& workbook, sheet::Range range, const sheet::FormatLocale& locale)
      : workbook_(workbook), range_(range), locale_(locale) {}
  std::uint32_t Row() override { return range_.Row(); }
  std::uint32_t Column() override { return range_.Column(); }
  std::uint32_t LastRow() override { return range_.LastRow(); }
  std::uint32_t LastColumn() override { return range_.LastColumn(); }
  std::string CellText(std::uint32_t row, std::uint32_t column) override {
    return workbook_.CellText(range_, row, column);
  }
  std::unique_ptr<sheet::BlockRows> Rows(std::vector<bool> wanted) override {
    return workbook_.Rows(range_, std::move(wanted));
  }
  std::optional<vcard::Date> CellDate(std::uint32_t row, std::uint32_t column) override {
    return DateInCell(workbook_, range_, row, column, locale_, formats_);
  }

 private:
  sheet::OpenedWorkbook& workbook_;
  sheet::Range range_;
  sheet::FormatLocale locale_;
  FormatCache formats_;
};

class EngineWorkbook : public SheetWorkbook {
 public:
  explicit EngineWorkbook(sheet::OpenedWorkbook& workbook) : workbook_(workbook) {}
  void Close() override { workbook_.Close(); }

 private:
  sheet::OpenedWorkbook& workbook_;
};

class EngineApplication : public SheetApplication {
 public:
  EngineApplication(sheet::FormatLocale locale, const std::string& path) : app_(locale), locale_(locale) {
    app_.OpenForStreaming(path);
  }
  int WorkbooksCount() override { return app_.WorkbooksCount(); }
  std::unique_ptr<SheetWorkbook> Workbooks(int index) override {
    return std::make_unique<EngineWorkbook>(app_.Workbooks(index));
  }
  std::unique_ptr<SheetRange> Range(std::string_view address) override {
    sheet::OpenedWorkbook& active = app_.Workbooks(app_.WorkbooksCount());
    return std::make_unique<EngineRange>(active, active.GetRange(address), locale_);
  }
  void Quit() override { app_.Quit(); }

 private:
  sheet::Application app_;
  sheet::FormatLocale locale_;
};

class Engine : public SheetEngine {
 public:
  explicit Engine(sheet::FormatLocale locale) : locale_(locale) {}
  std::unique_ptr<SheetApplication> OpenWorkbook(const std::string& path) override {
    return std::make_unique<EngineApplication>(locale_, path);
  }

 private:
  sheet::FormatLocale locale_;
};

}  // namespace

std::unique_ptr<SheetEngine> MakeSheetEngine(sheet::FormatLocale locale) { return std::make_unique<Engine>(locale); }

}  // namespace cw::run
