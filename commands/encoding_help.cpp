#include "commands/encoding_help.h"

#include "run/statements.h"

namespace cw::commands {

std::string EncodingHelpText() {
  std::string text = "ANSI Vs. UTF8";
  text += "\r\r";
  text += "Summarised from the Wikipedia article \"Text file\":";
  text += "\r\r";
  text +=
      "Most Windows text files use a form of ANSI, OEM or Unicode encoding. "
      "What Windows calls an ANSI encoding is, for most languages, a single-byte code page built on one of "
      "the ISO-8859 character sets, while locales such as Chinese, Japanese and Korean need double-byte "
      "character sets instead. "
      "These ANSI code pages were the default system locales of Windows for many years, before the move to "
      "Unicode. "
      "OEM encodings, also known as MS-DOS code pages, go back to the text mode of the original IBM PC. "
      "They hold line-drawing characters that text-mode programs used for boxes and frames. "
      "Newer text files often use a Unicode encoding instead, such as UTF-16LE or UTF-8.";
  return text;
}

void ShowEncodingHelp(run::MessageSink& messages, run::FailureReporter& reporter) {
  run::Statements s(reporter, kPushButton4Location);
  s.Step(100, [&] {
    messages.Show(EncodingHelpText(), run::kApplicationTitle, run::MessageIcon::kNone, run::MessageButtons::kOk);
  });
}

}  // namespace cw::commands
