#include "sheet/xls/xls_reader.h"

#include "sheet/read_error.h"

namespace cw::sheet {

Workbook ReadXls(std::span<const std::byte>) {
  throw ReadError("Workbooks in the .xls format cannot be read by this build.", 0);
}

}  // namespace cw::sheet
