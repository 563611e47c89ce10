#include "commands/settings_store.h"

namespace cw::commands {
namespace {

QString KeyPath(const QString& section, const QString& key) { return section + QLatin1Char('/') + key; }

}  // namespace

QString GetSetting(const SettingsStore& store, const QString& section, const QString& key, const QString& fallback) {
  return store.Read(section, key).value_or(fallback);
}

IniSettingsStore::IniSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            QString::fromLatin1(kSettingsOrganisation),
                                            QString::fromLatin1(kSettingsApplication))) {}

IniSettingsStore::IniSettingsStore(const QString& file)
    : settings_(std::make_unique<QSettings>(file, QSettings::IniFormat)) {}

std::optional<QString> IniSettingsStore::Read(const QString& section, const QString& key) const {
  const QString path = KeyPath(section, key);
  if (!settings_->contains(path)) return std::nullopt;
  return settings_->value(path).toString();
}

bool IniSettingsStore::Write(const QString& section, const QString& key, const QString& value) {
  settings_->setValue(KeyPath(section, key), value);
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

}  // namespace cw::commands
