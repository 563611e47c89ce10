#include "sheet/xls/xls_container.h"

#include <algorithm>
#include <optional>
#include <string>

#include "sheet/xls/biff_decrypt.h"
#include "sheet/xls/compound_file.h"
#include "sheet/xls/xls_error.h"

namespace cw::sheet {
namespace {

// Excel 2.1 to 4.0 wrote bare BIFF streams, not compound files; some tools still write a
// bare BIFF5 or BIFF8 stream, which reads like the stream inside a compound file.
bool IsBareBiffStream(std::span<const std::byte> bytes) {
  if (bytes.size() < 4 || std::to_integer<unsigned>(bytes[0]) != 0x09) return false;
  const unsigned second = std::to_integer<unsigned>(bytes[1]);
  return second == 0x00 || second == 0x02 || second == 0x04 || second == 0x08;
}

}  // namespace

XlsWorkbookStream OpenXlsContainer(std::span<const std::byte> bytes) {
  XlsWorkbookStream out;
  if (CompoundFile::HasSignature(bytes)) {
    const CompoundFile file(bytes);
    if (file.HasStream(u"EncryptedPackage") && file.HasStream(u"EncryptionInfo")) {
      FailXls(XlsErrorCode::kEncryptedPackage, 0);
    }
    // Excel 97 and later write "Workbook"; Excel 5 and 95 write "Book". A file saved for
    // both may hold the two, and "Workbook" is the newer and complete one.
    // Names match without regard to case, so two streams of one name in different cases
    // leave the workbook ambiguous.
    const auto twins = [&](std::u16string_view wanted) {
      std::size_t count = 0;
      for (const std::u16string& name : file.StreamNames()) {
        count += name.size() == wanted.size() &&
                 std::equal(name.begin(), name.end(), wanted.begin(), [](char16_t a, char16_t b) {
                   const auto fold = [](char16_t c) {
                     return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
                   };
                   return fold(a) == fold(b);
                 });
      }
      return count > 1;
    };
    std::optional<std::span<const std::byte>> stream = file.StreamBytes(u"Workbook", out.storage);
    if (stream && twins(u"Workbook")) FailXls(XlsErrorCode::kWorkbookStreamTwins, 0);
    if (!stream) {
      stream = file.StreamBytes(u"Book", out.storage);
      if (stream && twins(u"Book")) FailXls(XlsErrorCode::kWorkbookStreamTwins, 0);
    }
    if (!stream) FailXls(XlsErrorCode::kNoWorkbookStream, 0);
    out.stream = *stream;
  } else if (IsBareBiffStream(bytes)) {
    out.stream = bytes;
  } else {
    FailXls(XlsErrorCode::kNotXls, 0);
  }
  if (auto plain = DecryptWithDefaultPassword(out.stream)) {
    out.storage = std::move(*plain);
    out.stream = out.storage;
    out.decrypted = true;
  }
  return out;
}

}  // namespace cw::sheet
