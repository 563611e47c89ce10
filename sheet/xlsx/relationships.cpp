#include "sheet/xlsx/relationships.h"

#include "sheet/xlsx/xlsx_error.h"
#include "sheet/xlsx/xlsx_values.h"
#include "sheet/xlsx/xml_part.h"

namespace cw::sheet::xlsx {
namespace {

std::string PercentDecode(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

// The folder of a part name, with its trailing "/": "xl/workbook.xml" -> "xl/".
std::string_view FolderOf(std::string_view part) {
  const std::size_t slash = part.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : part.substr(0, slash + 1);
}

class RelationshipsHandler : public XmlHandler {
 public:
  RelationshipsHandler(std::string_view source, std::string_view part) : source_(source), part_(part) {}
  std::vector<Relationship> found;

  void Start(std::string_view name, const Attributes& a) override {
    if (name != "Relationship") return;
    // Past the limit the workbook is refused, saying so: a dropped relationship would later
    // read as a missing part.
    if (found.size() >= kMaxRelationships) {
      FailXlsx(XlsxErrorCode::kBadValue, part_, "more than 100,000 relationships, more than any workbook holds");
    }
    const char* id = a.Get("Id");
    const char* type = a.Get("Type");
    const char* target = a.Get("Target");
    const char* mode = a.Get("TargetMode");
    if (!type || !target) return;
    Relationship r;
    r.id = id ? id : "";
    r.type = type;
    r.external = mode && std::string_view(mode) == "External";
    r.target = r.external ? std::string(target) : ResolveTarget(source_, target);
    found.push_back(std::move(r));
  }
  void End(std::string_view) override {}
  void Text(std::string_view) override {}

 private:
  static constexpr std::size_t kMaxRelationships = 100'000;
  std::string source_;
  std::string part_;
};

}  // namespace

std::string ResolveTarget(std::string_view source_part, std::string_view target) {
  std::string joined = PercentDecode(target);
  if (!joined.empty() && joined.front() == '/') {
    joined.erase(0, 1);
  } else {
    joined.insert(0, FolderOf(source_part));
  }
  std::vector<std::string_view> steps;
  std::string_view rest(joined);
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    const std::string_view step = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (step.empty() || step == ".") continue;
    if (step == "..") {
      if (!steps.empty()) steps.pop_back();
      continue;
    }
    steps.push_back(step);
  }
  std::string out;
  for (const auto& step : steps) {
    if (!out.empty()) out += '/';
    out += step;
  }
  return out;
}

std::string RelationshipsPartOf(std::string_view part) {
  const std::string_view folder = FolderOf(part);
  return std::string(folder) + "_rels/" + std::string(part.substr(folder.size())) + ".rels";
}

std::vector<Relationship> ReadRelationships(const ZipPackage& package, std::string_view source_part) {
  const std::string rels = RelationshipsPartOf(source_part);
  const auto stored = package.Find(rels);
  if (!stored) return {};
  RelationshipsHandler handler(source_part, *stored);
  ParsePart(package, *stored, handler);
  return std::move(handler.found);
}

const Relationship* FindByType(const std::vector<Relationship>& rels, std::string_view type_tail) {
  for (const auto& r : rels) {
    if (!r.external && EndsWith(r.type, type_tail)) return &r;
  }
  return nullptr;
}

}  // namespace cw::sheet::xlsx
