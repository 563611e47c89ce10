// What the vCard tests share: the code pages and date readers the run would give them, and
// a record file written the way the export writes one.
#pragma once

#include <string>
#include <string_view>

#include "run/regional_settings.h"
#include "vcard/record_file.h"

namespace cw::testing {

inline vcard::CodePage AnsiPage(int number) { return run::AnsiCodePage(number); }

inline const vcard::DateRecognizer& UsDates() {
  static const vcard::DateRecognizer dates = run::DatesForLocale("en_US");
  return dates;
}

// The file of one record, as the export writes it.
inline void WriteRecordFile(const std::string& path, std::string_view record, vcard::ExportEncoding encoding,
                            const vcard::CodePage& code_page, vcard::VCardVersion version = vcard::VCardVersion::k21) {
  vcard::RecordFile file = vcard::RecordFile::Create(path);
  file.Write(vcard::RecordFileBytes(record, encoding, version, code_page));
  file.Close();
}

}  // namespace cw::testing
