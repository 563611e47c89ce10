#include "sheet/xls/biff_decrypt.h"

#include <nettle/arcfour.h>
#include <nettle/md5.h>
#include <nettle/sha1.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "sheet/xls/biff_records.h"
#include "sheet/xls/xls_error.h"

namespace cw::sheet {
namespace {

constexpr std::size_t kBlockSize = 1024;  // the stream is re-keyed every 1024 bytes
constexpr std::size_t kSaltSize = 16;
constexpr std::size_t kVerifierSize = 16;
constexpr std::uint32_t kAlgRc4 = 0x6801;   // CALG_RC4
constexpr std::uint32_t kAlgSha1 = 0x8004;  // CALG_SHA1

// The password's UTF-16LE bytes, as both kinds hash it.
constexpr std::string_view kDefaultPassword = "VelvetSweatshop";

std::vector<std::uint8_t> PasswordBytes() {
  std::vector<std::uint8_t> out;
  for (const char c : kDefaultPassword) {
    out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(0);
  }
  return out;
}

const std::uint8_t* Raw(std::span<const std::byte> b) { return reinterpret_cast<const std::uint8_t*>(b.data()); }

std::array<std::uint8_t, 4> BlockNumber(std::uint32_t block) {
  return {static_cast<std::uint8_t>(block), static_cast<std::uint8_t>(block >> 8),
          static_cast<std::uint8_t>(block >> 16), static_cast<std::uint8_t>(block >> 24)};
}

// Per-block keys of one encryption kind, and the check of the password against the
// encrypted verifier.
class BlockKeys {
 public:
  // RC4 ([MS-OFFCRYPTO] 2.3.6.2): H0 = MD5(password); H1 = MD5(16 times (H0[0,5) + salt));
  // the key of block b is MD5(H1[0,5) + b), all 16 bytes.
  static BlockKeys Rc4(std::span<const std::byte> salt) {
    BlockKeys k;
    k.md5_ = true;
    const std::vector<std::uint8_t> password = PasswordBytes();
    std::uint8_t h0[MD5_DIGEST_SIZE];
    md5_ctx ctx;
    md5_init(&ctx);
    md5_update(&ctx, password.size(), password.data());
    md5_digest(&ctx, sizeof h0, h0);
    md5_init(&ctx);
    for (int i = 0; i < 16; ++i) {
      md5_update(&ctx, 5, h0);
      md5_update(&ctx, salt.size(), Raw(salt));
    }
    std::uint8_t h1[MD5_DIGEST_SIZE];
    md5_digest(&ctx, sizeof h1, h1);
    k.base_.assign(h1, h1 + 5);
    k.key_size_ = 16;
    return k;
  }

  // RC4 CryptoAPI ([MS-OFFCRYPTO] 2.3.5.2): H0 = SHA-1(salt + password); the key of block
  // b is the first KeySize bits of SHA-1(H0 + b); a 40-bit key is padded with zeros to 128.
  static BlockKeys CryptoApi(std::span<const std::byte> salt, std::size_t key_bits) {
    BlockKeys k;
    const std::vector<std::uint8_t> password = PasswordBytes();
    std::uint8_t h0[SHA1_DIGEST_SIZE];
    sha1_ctx ctx;
    sha1_init(&ctx);
    sha1_update(&ctx, salt.size(), Raw(salt));
    sha1_update(&ctx, password.size(), password.data());
    sha1_digest(&ctx, sizeof h0, h0);
    k.base_.assign(h0, h0 + sizeof h0);
    k.key_size_ = key_bits / 8;
    k.pad_to_128_ = key_bits == 40;
    return k;
  }

  // The cipher for block `block`, at the block's first byte.
  arcfour_ctx Cipher(std::uint32_t block) const {
    const auto number = BlockNumber(block);
    std::uint8_t digest[SHA1_DIGEST_SIZE] = {};
    if (md5_) {
      md5_ctx ctx;
      md5_init(&ctx);
      md5_update(&ctx, base_.size(), base_.data());
      md5_update(&ctx, number.size(), number.data());
      md5_digest(&ctx, MD5_DIGEST_SIZE, digest);
    } else {
      sha1_ctx ctx;
      sha1_init(&ctx);
      sha1_update(&ctx, base_.size(), base_.data());
      sha1_update(&ctx, number.size(), number.data());
      sha1_digest(&ctx, SHA1_DIGEST_SIZE, digest);
    }
    std::uint8_t key[16] = {};
    std::memcpy(key, digest, std::min<std::size_t>(key_size_, sizeof key));
    arcfour_ctx cipher;
    arcfour_set_key(&cipher, pad_to_128_ ? 16 : key_size_, key);
    return cipher;
  }

  // Whether the encrypted verifier and its encrypted hash (MD5 or SHA-1 of the verifier)
  // decipher, in one run of block 0's cipher, to a verifier and its hash.
  bool Verifies(std::span<const std::byte> verifier, std::span<const std::byte> verifier_hash) const {
    arcfour_ctx cipher = Cipher(0);
    std::uint8_t plain[kVerifierSize];
    arcfour_crypt(&cipher, sizeof plain, plain, Raw(verifier));
    std::vector<std::uint8_t> hash(verifier_hash.size());
    arcfour_crypt(&cipher, hash.size(), hash.data(), Raw(verifier_hash));
    std::uint8_t expected[SHA1_DIGEST_SIZE];
    std::size_t expected_size = 0;
    if (md5_) {
      md5_ctx ctx;
      md5_init(&ctx);
      md5_update(&ctx, sizeof plain, plain);
      md5_digest(&ctx, MD5_DIGEST_SIZE, expected);
      expected_size = MD5_DIGEST_SIZE;
    } else {
      sha1_ctx ctx;
      sha1_init(&ctx);
      sha1_update(&ctx, sizeof plain, plain);
      sha1_digest(&ctx, SHA1_DIGEST_SIZE, expected);
      expected_size = SHA1_DIGEST_SIZE;
    }
    return hash.size() >= expected_size && std::memcmp(hash.data(), expected, expected_size) == 0;
  }

 private:
  bool md5_ = false;
  std::vector<std::uint8_t> base_;
  std::size_t key_size_ = 16;
  bool pad_to_128_ = false;
};

// The keys for the FILEPASS record `r`, after checking the default password against it.
// A FILEPASS cut short or of another kind is refused like any other password: what the
// person can do about it is the same.
BlockKeys KeysFor(const BiffRecord& r) {
  const auto& d = r.data;
  const auto need = [&](std::size_t size) {
    if (d.size() < size) FailBiff(XlsErrorCode::kPasswordProtected, r.offset);
  };
  need(2);
  if (Le16(d, 0) != 1) FailBiff(XlsErrorCode::kPasswordProtected, r.offset);  // 0: XOR obfuscation
  need(6);
  const std::uint16_t major = Le16(d, 2), minor = Le16(d, 4);
  if (major == 1 && minor == 1) {
    // Salt, EncryptedVerifier, EncryptedVerifierHash: 16 bytes each.
    need(6 + 3 * 16);
    BlockKeys keys = BlockKeys::Rc4(d.subspan(6, kSaltSize));
    if (!keys.Verifies(d.subspan(22, kVerifierSize), d.subspan(38, 16))) {
      FailBiff(XlsErrorCode::kPasswordProtected, r.offset);
    }
    return keys;
  }
  if (major >= 2 && major <= 4 && minor == 2) {
    // Flags (4), header size (4), EncryptionHeader, then the EncryptionVerifier.
    need(14);
    const std::size_t header_size = Le32(d, 10);
    if (header_size < 32 || header_size > d.size() - 14) FailBiff(XlsErrorCode::kPasswordProtected, r.offset);
    const auto header = d.subspan(14, header_size);
    const std::uint32_t alg = Le32(header, 8), alg_hash = Le32(header, 12);
    std::size_t key_bits = Le32(header, 16);
    if (key_bits == 0) key_bits = 40;  // 0 means 40 bits
    if ((alg != 0 && alg != kAlgRc4) || (alg_hash != 0 && alg_hash != kAlgSha1) || key_bits < 40 || key_bits > 128 ||
        key_bits % 8 != 0) {
      FailBiff(XlsErrorCode::kPasswordProtected, r.offset);
    }
    const std::size_t at = 14 + header_size;
    // SaltSize (4) = 16, Salt, EncryptedVerifier, VerifierHashSize (4) = 20, EncryptedVerifierHash.
    need(at + 4 + kSaltSize + kVerifierSize + 4 + SHA1_DIGEST_SIZE);
    if (Le32(d, at) != kSaltSize || Le32(d, at + 36) != SHA1_DIGEST_SIZE) {
      FailBiff(XlsErrorCode::kPasswordProtected, r.offset);
    }
    BlockKeys keys = BlockKeys::CryptoApi(d.subspan(at + 4, kSaltSize), key_bits);
    if (!keys.Verifies(d.subspan(at + 20, kVerifierSize), d.subspan(at + 40, SHA1_DIGEST_SIZE))) {
      FailBiff(XlsErrorCode::kPasswordProtected, r.offset);
    }
    return keys;
  }
  FailBiff(XlsErrorCode::kPasswordProtected, r.offset);  // AES and other kinds: never for BIFF8
}

// Records whose data is never encrypted ([MS-XLS] 2.2.10).
bool IsPlainRecord(std::uint16_t type) {
  switch (type) {
    case biff::kBof:
    case biff::kFilePass:
    case 0x0194:  // UsrExcl
    case 0x0195:  // FileLock
    case 0x00E1:  // InterfaceHdr
    case 0x0196:  // RRDInfo
    case 0x0138:  // RRDHead
      return true;
    default:
      return false;
  }
}

// XORs the bytes [from, to) of `data` with the key stream at those stream offsets.
class KeyStream {
 public:
  explicit KeyStream(const BlockKeys& keys) : keys_(keys) {}

  void Apply(std::vector<std::byte>& data, std::size_t from, std::size_t to) {
    while (from < to) {
      const std::size_t block = from / kBlockSize;
      if (block != block_) Load(block);
      const std::size_t end = std::min(to, (block + 1) * kBlockSize);
      for (std::size_t i = from; i < end; ++i) data[i] ^= std::byte{bytes_[i % kBlockSize]};
      from = end;
    }
  }

 private:
  void Load(std::size_t block) {
    arcfour_ctx cipher = keys_.Cipher(static_cast<std::uint32_t>(block));
    const std::uint8_t zeros[kBlockSize] = {};
    arcfour_crypt(&cipher, kBlockSize, bytes_, zeros);
    block_ = block;
  }

  const BlockKeys& keys_;
  std::size_t block_ = SIZE_MAX;
  std::uint8_t bytes_[kBlockSize] = {};
};

}  // namespace

std::optional<std::vector<std::byte>> DecryptWithDefaultPassword(std::span<const std::byte> stream) {
  // FILEPASS stands among the first records of the globals, before their EOF.
  BiffCursor cursor(stream);
  if (cursor.PeekType() != biff::kBof) return std::nullopt;
  const BiffRecord bof = cursor.Next();
  if (bof.data.size() < 2 || Le16(bof.data, 0) != 0x0600) return std::nullopt;  // BIFF8 only
  std::optional<BiffRecord> filepass;
  while (!cursor.AtEnd() && !filepass) {
    const BiffRecord r = cursor.Next();
    if (r.type == biff::kEof) break;
    if (r.type == biff::kFilePass) filepass = r;
  }
  if (!filepass) return std::nullopt;
  const BlockKeys keys = KeysFor(*filepass);

  std::vector<std::byte> plain(stream.begin(), stream.end());
  KeyStream key_stream(keys);
  // Record headers are plain, so the records are walked in the stream as it is. A record
  // cut short by the stream's end is left for the BIFF reader to report.
  std::size_t at = 0;
  while (stream.size() - at >= 4) {
    const std::uint16_t type = Le16(stream, at);
    const std::size_t length = Le16(stream, at + 2);
    const std::size_t data = at + 4;
    if (length > stream.size() - data) break;
    if (!IsPlainRecord(type)) {
      // BOUNDSHEET's lbPlyPos, the offset of its sheet's substream, stays plain.
      const std::size_t from = type == biff::kBoundSheet ? data + std::min<std::size_t>(4, length) : data;
      key_stream.Apply(plain, from, data + length);
    }
    at = data + length;
  }
  return plain;
}

}  // namespace cw::sheet
