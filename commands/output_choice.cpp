#include "commands/output_choice.h"

#include <optional>
#include <string>

#include "run/export_run.h"
#include "sheet/view/qt_text.h"

namespace cw::commands {
namespace {

const QString kSection = QString::fromLatin1(kSettingsSection);
const QString kTrue = QStringLiteral("true");
const QString kFalse = QStringLiteral("false");

}  // namespace

OutputChoice ReadOutputChoice(const SettingsStore& store) {
  OutputChoice choice;
  if (const std::optional<QString> version = store.Read(kSection, QString::fromLatin1(kVCardVersionKey))) {
    choice.version = vcard::VersionFromText(ToUtf8(*version)).value_or(choice.version);
  }
  if (const std::optional<QString> one_file = store.Read(kSection, QString::fromLatin1(kOneFileKey))) {
    choice.one_file = *one_file == kTrue;
  }
  return choice;
}

bool StoreOutputChoice(SettingsStore& store, const OutputChoice& choice) {
  const bool version_stored =
      store.Write(kSection, QString::fromLatin1(kVCardVersionKey), ToQString(vcard::VersionText(choice.version)));
  const bool one_file_stored =
      store.Write(kSection, QString::fromLatin1(kOneFileKey), choice.one_file ? kTrue : kFalse);
  return version_stored && one_file_stored;
}

QString AnsiButtonToolTip(vcard::VCardVersion version) {
  // The same words the run would say if it were asked for the file.
  const std::optional<std::string> problem = run::ExportChoiceProblem(vcard::ExportEncoding::Ansi, version);
  return problem ? ToQString(*problem) : QString();
}

}  // namespace cw::commands
