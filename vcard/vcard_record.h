// One vCard record per block row: which lines a row gives, in their order, each with its
// condition and the statement number a failure while testing or composing it is reported
// under. Written once for every version: how each line is written is the line layer's
// (vcard_line.h).
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mapping/field_kind.h"
#include "vcard/code_page.h"
#include "vcard/dates.h"
#include "vcard/vcard_version.h"

namespace cw::vcard {

// Kinds of which a record holds a line per value in 3.0 and 4.0: the phones, the e-mail
// addresses, the web sites and the categories. Of every other kind the last column wins.
bool MultiValued(mapping::FieldKind kind);

// The values of one row, one per field kind other than "Ignore"; all start empty. A kind that
// several columns carry holds the last column's value, as the original keeps it; the earlier
// columns' values of a multi-valued kind are kept beside, in column order, for the versions
// that write them all. A row without repeated kinds never touches them.
class ContactFields {
 public:
  struct Earlier {
    mapping::FieldKind kind;
    std::string value;
  };

  std::string& operator[](mapping::FieldKind kind) { return values_.at(Index(kind)); }
  const std::string& operator[](mapping::FieldKind kind) const { return values_.at(Index(kind)); }
  // Keeps an earlier column's value of `kind`; a later column's value goes in operator[].
  void AddEarlier(mapping::FieldKind kind, std::string value) { earlier_.push_back({kind, std::move(value)}); }
  // The earlier columns' values, in column order.
  std::span<const Earlier> EarlierValues() const { return earlier_; }
  // Marks a value of a multi-valued kind as the contact's preferred one of its kind: the
  // `ordinal`-th of the kind's values, counting its earlier values in order, then the last.
  void MarkPreferred(mapping::FieldKind kind, std::size_t ordinal) { preferred_.push_back({kind, ordinal}); }
  bool Preferred(mapping::FieldKind kind, std::size_t ordinal) const {
    for (const auto& [k, o] : preferred_) {
      if (k == kind && o == ordinal) return true;
    }
    return false;
  }
  // Every kind's value, the earlier columns' aside.
  std::span<const std::string> Values() const { return values_; }
  void Clear() {
    for (auto& v : values_) v.clear();
    earlier_.clear();
    preferred_.clear();
  }
  void swap(ContactFields& other) noexcept {
    values_.swap(other.values_);
    earlier_.swap(other.earlier_);
    preferred_.swap(other.preferred_);
  }

 private:
  static std::size_t Index(mapping::FieldKind kind) { return static_cast<std::size_t>(kind) - 1; }
  std::array<std::string, mapping::kFieldKindCount - 1> values_;
  std::vector<Earlier> earlier_;
  std::vector<std::pair<mapping::FieldKind, std::size_t>> preferred_;  // almost always empty
};

// An image to embed as the contact's photo: the bytes of a JPEG, PNG or GIF file.
struct PhotoData {
  std::string_view type;  // "jpeg", "png" or "gif"
  std::string bytes;
};

// True when `text` is empty or holds only white space (spaces, tabs, line breaks, and the
// no-break, ideographic and other Unicode spaces).
bool IsBlank(std::string_view text);

// True when every cell of the row is blank: such a row holds no contact.
bool RowIsBlank(const ContactFields& fields);

// True when the version's records carry a UID.
bool WritesUid(VCardVersion version);

// True when a Photo cell names the image by an http or https address, written as a link and
// never fetched.
bool IsPhotoUri(std::string_view text);

// Runs the record's numbered tests and line compositions. The export runs them under its
// statement protocol, so that a failing one is reported under its number and the record
// goes on without that line.
class RecordSteps {
 public:
  virtual ~RecordSteps() = default;
  // A failing test counts as held.
  virtual bool Test(int statement, const std::function<bool()>& test) = 0;
  // True when the step ran through.
  virtual bool Step(int statement, const std::function<void()>& step) = 0;
};

// What a record takes besides the row's values.
struct RecordOptions {
  VCardVersion version = VCardVersion::k21;
  // The ANSI file's code page (2.1 only): a value with characters beyond ASCII is then written in it as
  // CHARSET=<its name>;ENCODING=QUOTED-PRINTABLE, so the record is ASCII. None for UTF-8.
  const CodePage* ansi_code_page = nullptr;
  // The date the Birthday cell holds, when it holds one (a number under a date format); the
  // Birthday text is recognised only without it.
  std::optional<Date> birthday_date;
  // The same for the Anniversary cell.
  std::optional<Date> anniversary_date;
  // The image the Photo cell's file holds, read by the caller; without it a Photo cell that
  // is an http(s) address is written as a link, and any other gives no photo.
  const PhotoData* photo = nullptr;
  // The record's UID, where the version writes one: the same for the same workbook row in
  // every run ("urn:uuid:...").
  std::string_view uid;
  // Counts the characters the ANSI code page lacks, written as "?"; may be nullptr.
  std::size_t* lost_characters = nullptr;
};

// PRODID of the 3.0 and 4.0 records.
inline constexpr std::string_view kProductId = "-//Marrowind//Cardwright//EN";

// The record, "BEGIN:VCARD" through "END:VCARD", lines joined by CR LF, no CR LF after the
// last. With `steps`, each numbered test and line runs through it; without, a failure
// propagates.
std::string BuildVCardRecord(const ContactFields& fields, const LocalTime& build_time, const DateRecognizer& dates,
                             RecordSteps* steps = nullptr, const RecordOptions& options = {});

}  // namespace cw::vcard
