// The spreadsheet checks around the block pick. "Excel already runs" is here "the chosen
// workbook is open in a spreadsheet application": its owner file lies beside it ("~$" + name
// from Excel, ".~lock." + name + "#" from LibreOffice).
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

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

// The program that holds the workbook open, as its owner file names it: "Excel" for "~$" + name;
// for ".~lock." + name + "#", "OpenOffice" when the lock file's user profile is OpenOffice's, else
// "LibreOffice". Empty when no owner file exists.
QString OwnerProgram(const QString& workbook_path);

// The question asked before a pick of a workbook open in `program`; for Excel, kExcelOpenText.
std::string OpenElsewhereText(const QString& program);

// Asks whether to go on when the workbook is open elsewhere. True means stop (the user said No).
bool WarnIfExcelOpen(const QString& workbook_path, run::MessageSink& messages);

using EngineFactory = std::function<std::unique_ptr<run::SheetEngine>()>;

// Tries to create the engine; when none comes back, says so in a box. Never fails.
void CheckExcelInstalled(const EngineFactory& make_engine, run::MessageSink& messages);

}  // namespace cw::app
