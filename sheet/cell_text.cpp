#include "sheet/cell_text.h"

namespace cw::sheet {

CellTextRenderer::CellTextRenderer(const Workbook& workbook, const FormatLocale& locale)
    : workbook_(workbook),
      formatter_(locale, workbook.date_system),
      styles_(workbook.style_formats.size() + 1),
      unknown_style_(workbook.style_formats.size()) {
  formatter_.UseCodeLocaleSeparators(workbook.code_locale_separators);
  if (workbook.libreoffice_display) formatter_.UseLibreOfficeRules();
}

const CellTextRenderer::StyleFormat& CellTextRenderer::Learn(StyleFormat& entry, std::uint32_t style) {
  entry.known = true;
  entry.id = workbook_.FormatIdOf(style);
  entry.code = workbook_.CustomCode(entry.id);
  entry.general = entry.id == 0 && entry.code.empty();
  entry.shows_dates = formatter_.ShowsDates(entry.id, entry.code);
  return entry;
}

std::string CellTextRenderer::Text(const Worksheet& sheet, std::uint32_t row, std::uint32_t column) {
  const Cell* cell = sheet.Find(row, column);
  return cell ? Text(*cell) : std::string();
}

std::string CellTextRenderer::Text(const Cell& cell) {
  std::string out;
  AppendText(cell, out);
  return out;
}

void CellTextRenderer::AppendText(const Cell& cell, std::string& out) {
  switch (cell.kind) {
    case CellKind::kBoolean:
      out += cell.boolean ? "TRUE" : "FALSE";
      return;
    case CellKind::kError:
      out += ErrorText(cell.error);
      return;
    case CellKind::kString:
      AppendString(cell.string_index < workbook_.strings.size() ? workbook_.strings[cell.string_index] : "", cell.style,
                   out);
      return;
    case CellKind::kNumber: {
      const StyleFormat& format = FormatOf(cell.style);
      formatter_.AppendNumber(cell.number, format.id, format.code, out);
      return;
    }
  }
}

void CellTextRenderer::AppendString(std::string_view text, std::uint32_t style, std::string& out) {
  const StyleFormat& format = FormatOf(style);
  if (format.general) {
    out += text;  // as NumberFormatter::AppendString shows it, without the call
    return;
  }
  formatter_.AppendString(text, format.id, format.code, out);
}

std::optional<CivilDate> CellTextRenderer::DateShown(const Cell& cell) {
  if (cell.kind != CellKind::kNumber) return std::nullopt;
  const StyleFormat& format = FormatOf(cell.style);
  if (!format.shows_dates) return std::nullopt;  // most number cells: no need to look further
  return formatter_.DateShown(cell.number, format.id, format.code);
}

}  // namespace cw::sheet
