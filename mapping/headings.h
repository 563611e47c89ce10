// Kinds proposed from a block's heading row. Contact lists kept in spreadsheets often begin with
// a row that names each column ("First Name", "E-mail Address", "Vorname", "Фамилия"), many of
// them as Outlook, Google Contacts, Thunderbird, Apple Contacts or GNOME's Evolution wrote their
// CSV files. This module holds one table of such headings, each with the text of the kind it
// proposes, and decides whether a row reads as headings at all.
//
// The table names kinds by their texts, resolved through FieldKindFromText when asked, so a
// heading whose kind this build does not know proposes "Ignore" until the kind exists.
// Headings are compared folded: by Unicode's compatibility caseless match (ICU's NFKC_Casefold,
// so "Straße" meets "STRASSE", "Ｆａｘ" meets "fax" and "℡" meets "tel"), with the marks removed
// ("Prénom" meets "prenom") and only letters and digits kept ("E-Mail-Adresse" meets "email adresse").
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cw::mapping {

// One heading as some program or language writes it, the text of the kind it proposes
// ("Ignore": a heading, but of nothing a contact holds), and where it comes from.
struct Heading {
  std::string_view text;
  std::string_view kind;
  // The exporter or the language ("Outlook de", "Thunderbird fr", "Evolution", "German"); a row's
  // headings from one source may change what another heading of the row proposes.
  std::string_view source;
};

// Every heading the table knows, beyond the kinds' own texts.
std::span<const Heading> HeadingTable();

// `text` as headings are compared (see above); "" for a text of no letters or digits.
std::string FoldHeading(std::string_view text);

// The kind a heading proposes: a kind's own text or a heading of the table, compared folded.
// Nothing when no heading matches; "Ignore" for a heading of nothing a contact holds and for
// one whose kind this build does not know.
std::optional<std::string_view> HeadingKind(std::string_view heading);

struct HeadingProposal {
  // The row names its columns: at least two of its non-empty cells, and at least half of
  // them, are headings the table knows.
  bool reads_as_headings = false;
  std::vector<std::string> kinds;  // one kind text per cell of the row; "Ignore" where none matches
};

// The kinds a block's first row proposes for its columns. The row decides where a heading means
// different fields in different programs: Evolution's "title" is the job title, and a heading
// that stands twice names the home field (or the name prefix) first and the work field (or the
// job title) second.
HeadingProposal ProposeKinds(std::span<const std::string> first_row);

// A key for the kinds chosen under these headings: equal for rows whose cells fold alike, in
// the same order; 16 hexadecimal digits.
std::string HeadingSetKey(std::span<const std::string> first_row);

}  // namespace cw::mapping
