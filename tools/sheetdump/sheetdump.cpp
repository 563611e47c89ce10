// sheetdump WORKBOOK: every non-empty cell of every sheet with its displayed text, read
// through the same engine the program uses (a text file without a byte-order mark that is
// no UTF-8 in the ANSI code page of LC_ALL, LC_CTYPE, LANG). Output, one line per cell after the first:
//   #active<TAB>SHEET
//   SHEET<TAB>A1<TAB>TEXT
// with backslash, tab, CR and LF in SHEET and TEXT written \\ \t \r \n. Exit 0; a workbook
// that cannot be read prints the engine's error description on stderr and exits 1.
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "run/malloc_arenas.h"
#include "run/regional_settings.h"
#include "sheet/address.h"
#include "sheet/engine.h"

namespace {

std::string Escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
  return out;
}

int Dump(const std::string& path) {
  // Text files that are no Unicode are read in the code page of the user's locale; cells show
  // as in the default locale, so a dump compares across machines.
  cw::sheet::ReadOptions read;
  read.ansi_code_page = cw::run::RegionalSettings::FromEnvironment().read.ansi_code_page;
  cw::sheet::Application app({}, read);
  cw::sheet::OpenedWorkbook& book = app.Open(path);
  const cw::sheet::Workbook& model = book.Model();
  std::string out = "#active\t" + Escaped(model.sheets.at(model.active_sheet).Name()) + "\n";
  for (std::size_t s = 0; s < model.sheets.size(); ++s) {
    const std::string name = Escaped(model.sheets[s].Name());
    const cw::sheet::Range sheet_range(s, 1, 1, 1, 1);
    for (const cw::sheet::Cell& cell : model.sheets[s].Cells()) {
      out += name;
      out += '\t';
      out += cw::sheet::ColumnLetters(cell.column + 1u);
      out += std::to_string(cell.row + 1u);
      out += '\t';
      out += Escaped(book.CellText(sheet_range, cell.row + 1u, cell.column + 1u));
      out += '\n';
      if (out.size() > (1u << 16)) {
        std::fwrite(out.data(), 1, out.size(), stdout);
        out.clear();
      }
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  book.Close();
  app.Quit();
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  cw::run::LimitMallocArenas();
  if (argc != 2) {
    std::fprintf(stderr, "usage: sheetdump WORKBOOK\n");
    return 2;
  }
  try {
    return Dump(argv[1]);
  } catch (const std::bad_alloc&) {
    std::fputs("Out of memory: reading this workbook needs more memory than the program can get.\n", stderr);
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  } catch (...) {
    std::fputs("The workbook cannot be read: an unexpected failure stopped the read.\n", stderr);
    return 1;
  }
}
