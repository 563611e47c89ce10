// The output folder command: the folder browser fills the output folder box with the chosen
// folder and one trailing "/" (a root "/" stays as it is). Setting the box's text stores it,
// through the box's change handler.
#pragma once

#include <QString>
#include <functional>
#include <string_view>

#include "commands/dialogs.h"

namespace cw::commands {

inline constexpr std::string_view kPushButton5Location = "in Tabulon5/20/2014.Form1.PushButton5_Click ";
inline constexpr const char* kFolderBrowserTitle = "Please select folder to add:";

// The folder the save commands write into for the output folder box's text: a text that
// begins with "~/" (or is "~") means the home folder; any other text is used as typed.
QString OutputFolderPath(const QString& text);

// Shows the folder browser; the chosen folder's path, or "" on cancel.
QString BrowseForFolder(Dialogs& dialogs, const QString& title);

// PushButton5_Click: statements 100 to 108, each failure reported under its number.
// `set_text3` sets the output folder box.
void ChooseOutputFolder(Dialogs& dialogs, const std::function<void(const QString&)>& set_text3);

}  // namespace cw::commands
