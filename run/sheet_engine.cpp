// The export run's view of the engine of sheet/: one Application per run, ranges resolved
// on the workbook opened last, as the automation model resolves them on the active one. The
// workbook is opened for streaming: OpenWorkbook reads its shared parts, and the block's
// rows come out of the sheet while the run writes the files of the rows before.
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "run/spreadsheet.h"
#include "sheet/engine.h"

namespace cw::run {
namespace {

class EngineRange : public SheetRange {
 public:
  EngineRange(sheet::OpenedWorkbook& workbook, sheet::Range range) : workbook_(workbook), range_(range) {}
  std::uint32_t Row() override { return range_.Row(); }
  std::uint32_t Column() override { return range_.Column(); }
  std::uint32_t LastRow() override { return range_.LastRow(); }
  std::uint32_t LastColumn() override { return range_.LastColumn(); }
  std::size_t SheetIndex() override { return range_.SheetIndex(); }
  std::string CellText(std::uint32_t row, std::uint32_t column) override {
    return workbook_.CellText(range_, row, column);
  }
  std::unique_ptr<sheet::BlockRows> Rows(const std::vector<bool>& wanted) override {
    return workbook_.Rows(range_, wanted);
  }
  std::optional<vcard::Date> CellDate(std::uint32_t row, std::uint32_t column) override {
    const auto date = workbook_.CellDate(range_, row, column);
    if (!date) return std::nullopt;
    return vcard::Date{date->year, date->month, date->day};
  }

 private:
  sheet::OpenedWorkbook& workbook_;
  sheet::Range range_;
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
  EngineApplication(sheet::FormatLocale locale, sheet::ReadOptions read, const std::string& path)
      : app_(std::move(locale), read) {
    app_.OpenForStreaming(path);
  }
  int WorkbooksCount() override { return app_.WorkbooksCount(); }
  std::unique_ptr<SheetWorkbook> Workbooks(int index) override {
    return std::make_unique<EngineWorkbook>(app_.Workbooks(index));
  }
  std::unique_ptr<SheetRange> Range(std::string_view address) override {
    sheet::OpenedWorkbook& active = app_.Workbooks(app_.WorkbooksCount());
    return std::make_unique<EngineRange>(active, active.GetRange(address));
  }
  void Quit() override { app_.Quit(); }

 private:
  sheet::Application app_;
};

class Engine : public SheetEngine {
 public:
  Engine(sheet::FormatLocale locale, sheet::ReadOptions read) : locale_(std::move(locale)), read_(read) {}
  std::unique_ptr<SheetApplication> OpenWorkbook(const std::string& path) override {
    return std::make_unique<EngineApplication>(locale_, read_, path);
  }

 private:
  sheet::FormatLocale locale_;
  sheet::ReadOptions read_;
};

}  // namespace

std::unique_ptr<SheetEngine> MakeSheetEngine(sheet::FormatLocale locale, sheet::ReadOptions read) {
  return std::make_unique<Engine>(std::move(locale), read);
}

}  // namespace cw::run
