// Delimited text (.csv, .tsv, .txt) read as a workbook of one sheet named after the file,
// every cell the text of its field exactly as written, never converted ("00123" stays
// "00123"). The encoding is found as text_decoder.h says, the delimiter is a tab for .tsv and
// sniffed from the first records otherwise, the quoting is that of csv_records.h.
#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "sheet/block_rows.h"
#include "sheet/csv/csv_error.h"
#include "sheet/readers.h"
#include "sheet/workbook.h"

namespace cw::sheet {

// Whether a file is taken as delimited text: by its extension alone, once the readers of
// binary containers have passed it by.
bool IsDelimitedText(std::span<const std::byte> head, std::string_view extension);
// The whole file as a workbook. Throws CsvError, or WorkbookFileError when it cannot be read.
Workbook ReadCsv(const ReaderInput& input, const ReadOptions& options);
// The file opened for streaming: its encoding is found now, and the rows of a block are read
// as they are taken, in a window of text that holds one record and the next chunk of the file.
std::unique_ptr<WorkbookStream> OpenCsvStream(const ReaderInput& input, const ReadOptions& options);

}  // namespace cw::sheet
