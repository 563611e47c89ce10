// Workbooks encrypted with the default password open as their plain twins do; any other
// password, or a damaged encryption header, is refused with the password message. The
// check against an independent decryption (msoffcrypto-tool) is the CTest script
// xls_decrypt_matches_msoffcrypto beside this file.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "sheet/cell_text.h"
#include "sheet/xls/xls_error.h"
#include "sheet/xls/xls_reader.h"
#include "tests/sheet/xls/xls_test_support.h"

namespace cw::sheet {
namespace {

using testing::Bytes;

// Every non-empty cell as "sheet!row,column=text", in order.
std::vector<std::string> AllTexts(const Workbook& wb, std::string_view only_sheet = {}) {
  std::vector<std::string> out;
  CellTextRenderer renderer(wb);
  for (const Worksheet& sheet : wb.sheets) {
    if (!only_sheet.empty() && sheet.Name() != only_sheet) continue;
    for (const Cell& cell : sheet.Cells()) {
      out.push_back(sheet.Name() + "!" + std::to_string(cell.row) + "," + std::to_string(cell.column) + "=" +
                    renderer.Text(cell));
    }
  }
  return out;
}

TEST(XlsDefaultPassword, OpensRc4AndRc4CryptoApiLikeThePlainWorkbook) {
  struct Case {
    const char* encrypted;
    const char* plain;
    const char* sheet;  // compared on this sheet only ("" all): LibreOffice recomputes some formulas on saving
  };
  constexpr Case kCases[] = {
      {"lo_tiny_velvet_rc4.xls", "lo_tiny.xls", ""},          // mini stream, two 1024-byte blocks
      {"lo_tiny_velvet_cryptoapi40.xls", "lo_tiny.xls", ""},  // CryptoAPI, 40-bit key
      {"lo_velvet_rc4.xls", "lo_biff8.xls", "Long"},          // SST over CONTINUE records, many blocks
      {"lo_velvet_cryptoapi.xls", "lo_biff8.xls", "Long"},    // CryptoAPI, 128-bit key
      {"lo_velvet_cryptoapi.xls", "lo_velvet_rc4.xls", ""},   // the same records under both kinds
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.encrypted);
    const std::vector<std::string> plain = AllTexts(ReadXls(testing::ReadFixture(c.plain)), c.sheet);
    ASSERT_GT(plain.size(), 8u);
    EXPECT_EQ(AllTexts(ReadXls(testing::ReadFixture(c.encrypted)), c.sheet), plain);
  }
}

// Changes the byte `delta` bytes into the first FILEPASS record of `file` (found by its
// header, type 0x2F and the given length).
void DamageFilePass(Bytes& file, std::uint16_t length, std::size_t delta, std::byte value) {
  const Bytes header = {std::byte{0x2F}, std::byte{0}, std::byte(length & 0xFF), std::byte(length >> 8)};
  const auto at = std::search(file.begin(), file.end(), header.begin(), header.end());
  ASSERT_NE(at, file.end());
  *(at + 4 + static_cast<std::ptrdiff_t>(delta)) = value;
}

TEST(XlsDefaultPassword, OtherPasswordsAndDamagedHeadersAreRefused) {
  const std::uint16_t rc4 = 54, cryptoapi = 108;  // FILEPASS lengths in the fixtures
  struct Case {
    const char* what;
    const char* fixture;
    std::function<void(Bytes&)> damage;
  };
  const Case kCases[] = {
      {"password \"secret\"", "lo_tiny_secret_rc4.xls", [](Bytes&) {}},
      {"RC4 verifier changed", "lo_tiny_velvet_rc4.xls", [&](Bytes& f) { DamageFilePass(f, rc4, 22, std::byte{1}); }},
      {"RC4 salt changed", "lo_tiny_velvet_rc4.xls", [&](Bytes& f) { DamageFilePass(f, rc4, 6, std::byte{1}); }},
      {"XOR obfuscation", "lo_tiny_velvet_rc4.xls", [&](Bytes& f) { DamageFilePass(f, rc4, 0, std::byte{0}); }},
      {"unknown RC4 version", "lo_tiny_velvet_rc4.xls", [&](Bytes& f) { DamageFilePass(f, rc4, 2, std::byte{9}); }},
      {"CryptoAPI verifier hash changed", "lo_tiny_velvet_cryptoapi40.xls",
       [&](Bytes& f) { DamageFilePass(f, cryptoapi, 14 + 34 + 40, std::byte{1}); }},
      {"CryptoAPI header size past the record", "lo_tiny_velvet_cryptoapi40.xls",
       [&](Bytes& f) { DamageFilePass(f, cryptoapi, 11, std::byte{0x40}); }},
      {"CryptoAPI key of 48 bits", "lo_tiny_velvet_cryptoapi40.xls",
       [&](Bytes& f) { DamageFilePass(f, cryptoapi, 14 + 16, std::byte{48}); }},
      {"CryptoAPI AES", "lo_tiny_velvet_cryptoapi40.xls",
       [&](Bytes& f) { DamageFilePass(f, cryptoapi, 14 + 8, std::byte{0x0E}); }},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    Bytes file = testing::ReadFixture(c.fixture);
    c.damage(file);
    try {
      ReadXls(file);
      ADD_FAILURE() << "read";
    } catch (const XlsReadError& e) {
      EXPECT_EQ(e.code, XlsErrorCode::kPasswordProtected);
      EXPECT_STREQ(e.what(), "This workbook is password-protected. Save it without a password and try again.");
    }
  }
}

}  // namespace
}  // namespace cw::sheet
