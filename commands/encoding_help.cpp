#include "commands/encoding_help.h"

#include "commands/output_choice.h"
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
  // Which choice of "Address Book to Import Into" suits which address book, in the chooser's
  // own words.
  const auto caption = [](vcard::VCardVersion version) {
    return "\"" + std::string(kAddressBooks[AddressBookIndex(version)].caption) + "\"";
  };
  text += "\r\r";
  text += "Which file for which address book";
  text += "\r\r";
  text += "Outlook and other Windows address books: choose " + caption(vcard::VCardVersion::k21) + " and leave \"" +
          kOneFileCaption +
          "\" unticked, as Outlook reads one contact per file. Save As VCF (ANSI Format) writes the code page of "
          "your language and suits names in that language; Save As VCF (UTF8 Format) keeps every character, for "
          "names in several scripts.";
  text += "\r\r";
  text += "Android and iPhone contacts, Google Contacts, iCloud, Thunderbird, GNOME Contacts and Nextcloud: choose " +
          caption(vcard::VCardVersion::k30) + ", tick \"" + kOneFileCaption +
          "\" to import every contact at once, and press Save As VCF (UTF8 Format). vCard 3.0 and 4.0 files are "
          "always UTF-8 and keep every character, so the ANSI button is off for them.";
  text += "\r\r";
  text += "Choose " + caption(vcard::VCardVersion::k40) +
          " only when your address book asks for vCard 4.0: Android's contacts app refuses it, as Nextcloud and "
          "GrapheneOS refuse 2.1.";
  text += "\r\r";
  text +=
      "Keys: Ctrl+O opens a workbook, Ctrl+S saves the ANSI files, Ctrl+Shift+S the UTF-8 files, and F1 shows this "
      "help.";
  return text;
}

void ShowEncodingHelp(run::MessageSink& messages, run::FailureReporter& reporter) {
  run::Statements s(reporter, kPushButton4Location);
  s.Step(100, [&] {
    messages.Show(EncodingHelpText(), run::kApplicationTitle, run::MessageIcon::kNone, run::MessageButtons::kOk);
  });
}

}  // namespace cw::commands
