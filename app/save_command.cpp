#include "app/save_command.h"

#include "vcard/spreadsheet.h"

namespace cw::app {

SaveRunner ExportSaveRunner(commands::Dialogs& dialogs, vcard::Clock& clock, const vcard::RegionalSettings& regional) {
  return [&dialogs, &clock, &regional](vcard::ExportEncoding encoding, const vcard::ExportInputs& inputs,
                                       vcard::PointerControl& pointer) {
    const std::unique_ptr<vcard::SheetEngine> engine = vcard::MakeSheetEngine(regional.format);
    vcard::ExportServices services{dialogs, dialogs, clock, pointer, *engine, regional.code_page, regional.dates};
    vcard::ExportRun(encoding, inputs, services);
  };
}

}  // namespace cw::app
