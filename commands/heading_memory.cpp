#include "commands/heading_memory.h"

#include "mapping/field_kind.h"
#include "mapping/headings.h"
#include "sheet/view/qt_text.h"

namespace cw::commands {
namespace {

// No kind text holds it, and QSettings keeps it as it is (a "," would make the value a list).
constexpr char kSeparator = '|';

QString KeyOf(std::span<const std::string> first_row) { return ToQString(mapping::HeadingSetKey(first_row)); }

}  // namespace

std::optional<std::vector<std::string>> RememberedKinds(const SettingsStore& store,
                                                        std::span<const std::string> first_row) {
  const std::optional<QString> stored = store.Read(QString::fromLatin1(kHeadingsSection), KeyOf(first_row));
  if (!stored) return std::nullopt;
  std::vector<std::string> kinds;
  for (const QString& text : stored->split(QLatin1Char(kSeparator))) {
    const std::string kind = ToUtf8(text);
    kinds.push_back(
        mapping::FieldKindFromText(kind) ? kind : std::string(mapping::FieldKindText(mapping::FieldKind::kIgnore)));
  }
  if (kinds.size() != first_row.size()) return std::nullopt;
  return kinds;
}

bool RememberKinds(SettingsStore& store, std::span<const std::string> first_row, std::span<const std::string> kinds) {
  QString value;
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    if (i > 0) value += QLatin1Char(kSeparator);
    value += ToQString(kinds[i]);
  }
  return store.Write(QString::fromLatin1(kHeadingsSection), KeyOf(first_row), value);
}

}  // namespace cw::commands
