// Opening BIFF8 workbooks that are encrypted with the password a spreadsheet application
// uses when only the structure or windows of a workbook are protected, "VelvetSweatshop",
// as the application opens them: without asking. The FILEPASS record ([MS-XLS] 2.4.117)
// names RC4 encryption ([MS-OFFCRYPTO] 2.3.6: MD5 keys) or RC4 CryptoAPI encryption
// ([MS-OFFCRYPTO] 2.3.5: SHA-1 keys); each 1024-byte block of the stream has its own key,
// and the bytes are enciphered where they lie in the stream, except the record headers,
// the BOF, FILEPASS and a few other records, and the substream offset of BOUNDSHEET.
// Hashes and the cipher come from nettle; only the key derivation and the record walk are
// written here. Any other password, or XOR obfuscation, stays refused.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace cw::sheet {

// The stream with every encrypted byte deciphered, or nothing when its globals hold no
// FILEPASS record (it is not encrypted, or not BIFF8, where the BIFF reader refuses it).
// Throws XlsReadError(kPasswordProtected) when the password is not the default one, the
// encryption is of another kind, or FILEPASS is cut short.
std::optional<std::vector<std::byte>> DecryptWithDefaultPassword(std::span<const std::byte> stream);

}  // namespace cw::sheet
