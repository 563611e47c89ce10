// The spreadsheet checks around the block pick. "Excel already runs" is here "the chosen
// workbook is open in a spreadsheet application": its owner file lies beside it ("~$" + name
// from Excel, ".~lock." + name + "#" from LibreOffice).
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "run/environment.h"
#include "run/spreadsheet.h"

namespace cw::app {

inline constexpr const char* kExcelOpenText =
    "Excel may be open. It is recommended that you close Excel first.\r\n\r\nWould you like to proceed anyway?";
inline constexpr const char* kExcelNotInstalledText =
    "Excel is not installed on this computer. You need to have it installed to use this software without error.";

// The owner files a spreadsheet application keeps beside an open workbook.
QStringList OwnerFilePaths(const QString& workbook_path);

// True when an owner file of the workbook exists; false on any failure.
bool ExcelIsRunning(const QString& workbook_path);

// Asks whether to go on when the workbook is open elsewhere. True means stop (the user said No).
bool WarnIfExcelOpen(const QString& workbook_path, run::MessageSink& messages);

using EngineFactory = std::function<std::unique_ptr<run::SheetEngine>()>;

// Tries to create the engine; when none comes back, says so in a box. Never fails.
void CheckExcelInstalled(const EngineFactory& make_engine, run::MessageSink& messages);

}  // namespace cw::app
