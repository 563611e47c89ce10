// The save commands' link to the export run: each press creates the engine afresh (it is
// destroyed before the command returns) and runs the export under the user's regional
// settings. It runs on the worker thread of BackgroundExport; the window's boxes, the failure
// report, the pointer and the progress reach the window through `outside`.
#pragma once

#include "app/background_export.h"
#include "run/environment.h"
#include "run/regional_settings.h"

namespace cw::app {

// A SaveRunner for Form1. `clock` and `regional` must outlive it and be safe to use from the
// worker thread (the system clock and read-only settings are).
SaveRunner ExportSaveRunner(run::Clock& clock, const run::RegionalSettings& regional);

}  // namespace cw::app
