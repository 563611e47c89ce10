// Package relationships (ECMA-376 Part 2, 9.3): which part is the workbook, which parts are
// its sheets, shared strings and styles. Parts are found this way, never by guessing names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sheet/xlsx/zip_package.h"

namespace cw::sheet::xlsx {

struct Relationship {
  std::string id;
  std::string type;
  std::string target;  // part name, resolved against the source part
  bool external = false;
};

// The part a relationship target names, relative to the source part's folder or, with a
// leading "/", to the package root; "." and ".." steps and %-escapes resolved.
std::string ResolveTarget(std::string_view source_part, std::string_view target);
// "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels"; "" (the package) -> "_rels/.rels".
std::string RelationshipsPartOf(std::string_view part);
// The relationships of `source_part` ("" for the package's own); none when it has no
// relationships part.
std::vector<Relationship> ReadRelationships(const ZipPackage& package, std::string_view source_part);
// The first internal relationship whose type ends in `type_tail` ("/worksheet"), which reads
// the transitional and the Strict namespaces alike.
const Relationship* FindByType(const std::vector<Relationship>& rels, std::string_view type_tail);

}  // namespace cw::sheet::xlsx
