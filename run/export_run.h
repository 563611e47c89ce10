// The export run behind both save commands: checks its inputs, opens the workbook afresh,
// walks the block row by row, builds one vCard record per row and writes it to a file of its
// own in the chosen encoding, then closes everything and says "Done.".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "mapping/column_list.h"
#include "run/environment.h"
#include "run/spreadsheet.h"
#include "vcard/code_page.h"
#include "vcard/dates.h"
#include "vcard/record_file.h"
#include "vcard/vcard_version.h"

namespace cw::run {

// What the window holds when a save command runs.
struct ExportInputs {
  std::string workbook_path;           // Text1
  std::string block_address;           // Text2
  const mapping::ColumnList& columns;  // ListView1
  std::string output_folder;           // Text3
  // The output choice beside the save buttons: which vCard version, and whether all rows go
  // into one file. The defaults are the original two commands' files.
  vcard::VCardVersion version = vcard::VCardVersion::k21;
  bool one_file = false;
};

// Why a save command cannot write the chosen output (the ANSI file holds vCard 2.1 only);
// nothing when it can.
std::optional<std::string> ExportChoiceProblem(vcard::ExportEncoding encoding, vcard::VCardVersion version);

// The outside world of the run.
struct ExportServices {
  MessageSink& messages;
  FailureReporter& reporter;
  Clock& clock;
  PointerControl& pointer;
  SheetEngine& engine;
  const vcard::CodePage& code_page;
  const vcard::DateRecognizer& dates;
  RunProgress* progress = nullptr;  // none: the run shows no progress and cannot be cancelled
};

// PushButton1_Click (Ansi) and PushButton3_Click (Utf8).
void ExportRun(vcard::ExportEncoding encoding, const ExportInputs& inputs, ExportServices& services);

}  // namespace cw::run
