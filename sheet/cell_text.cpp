#include "sheet/cell_text.h"

namespace cw::sheet {

CellTextRenderer::CellTextRenderer(const Workbook& workbook, const FormatLocale& locale)
    : workbook_(workbook), formatter_(locale, workbook.date_system) {}

std::string CellTextRenderer::Text(const Worksheet& sheet, std::uint32_t row, std::uint32_t column) {
  const Cell* cell = sheet.Find(row, column);
  return cell ? Text(*cell) : std::string();
}

std::string CellTextRenderer::Text(const Cell& cell) {
  switch (cell.kind) {
    case CellKind::kBoolean:
      return cell.boolean ? "TRUE" : "FALSE";
    case CellKind::kError:
      return std::string(ErrorText(cell.error));
    case CellKind::kString: {
      const std::uint32_t id = workbook_.FormatIdOf(cell.style);
      const std::string_view text =
          cell.string_index < workbook_.strings.size() ? std::string_view(workbook_.strings[cell.string_index]) : "";
      return formatter_.FormatString(text, id, workbook_.CustomCode(id));
    }
    case CellKind::kNumber: {
      const std::uint32_t id = workbook_.FormatIdOf(cell.style);
      return formatter_.FormatNumber(cell.number, id, workbook_.CustomCode(id));
    }
  }
  return {};
}

std::optional<CivilDate> CellTextRenderer::DateShown(const Cell& cell) {
  if (cell.kind != CellKind::kNumber) return std::nullopt;
  const std::uint32_t id = workbook_.FormatIdOf(cell.style);
  return formatter_.DateShown(cell.number, id, workbook_.CustomCode(id));
}

}  // namespace cw::sheet
