#include "app/save_command.h"

#include "run/spreadsheet.h"

namespace cw::app {

SaveRunner ExportSaveRunner(commands::Dialogs& dialogs, run::Clock& clock, const run::RegionalSettings& regional) {
  return [&dialogs, &clock, &regional](vcard::ExportEncoding encoding, const run::ExportInputs& inputs,
                                       run::PointerControl& pointer) {
    const std::unique_ptr<run::SheetEngine> engine = run::MakeSheetEngine(regional.format);
    run::ExportServices services{dialogs, dialogs, clock, pointer, *engine, regional.code_page, regional.dates};
    run::ExportRun(encoding, inputs, services);
  };
}

}  // namespace cw::app
