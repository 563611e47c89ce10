#include "app/save_command.h"

#include "run/spreadsheet.h"

namespace cw::app {

SaveRunner ExportSaveRunner(run::Clock& clock, const run::RegionalSettings& regional) {
  return [&clock, &regional](vcard::ExportEncoding encoding, const run::ExportInputs& inputs, RunOutside& outside) {
    const std::unique_ptr<run::SheetEngine> engine = run::MakeSheetEngine(regional.format, regional.read);
    run::ExportServices services{.messages = outside.messages,
                                 .reporter = outside.reporter,
                                 .clock = clock,
                                 .pointer = outside.pointer,
                                 .engine = *engine,
                                 .code_page = regional.code_page,
                                 .dates = regional.dates,
                                 .progress = &outside.progress};
    run::ExportRun(encoding, inputs, services);
  };
}

}  // namespace cw::app
