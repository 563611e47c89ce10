// The encoding help command: one box that explains the two formats of the save commands, and
// which output choice suits which address book.
#pragma once

#include <string>
#include <string_view>

#include "run/environment.h"

namespace cw::commands {

inline constexpr std::string_view kPushButton4Location = "in Tabulon5/20/2014.Form1.PushButton4_Click ";

// "ANSI Vs. UTF8", the attribution line and the paragraph, then a heading and one block of
// advice per kind of address book; blocks are separated by two CR characters.
std::string EncodingHelpText();

// PushButton4_Click: statement 100 shows the help in a box with OK only, no icon and the
// application title.
void ShowEncodingHelp(run::MessageSink& messages, run::FailureReporter& reporter);

}  // namespace cw::commands
