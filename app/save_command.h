// The save commands' link to the export run: each press creates the engine afresh (it is
// destroyed before the command returns) and runs the export under the user's regional
// settings, with the window's boxes and the failure report going through the dialogs seam.
#pragma once

#include "app/form1.h"
#include "commands/dialogs.h"
#include "run/environment.h"
#include "run/regional_settings.h"

namespace cw::app {

// A SaveRunner for Form1. `dialogs`, `clock` and `regional` must outlive it.
SaveRunner ExportSaveRunner(commands::Dialogs& dialogs, run::Clock& clock, const run::RegionalSettings& regional);

}  // namespace cw::app
