// Per-user settings: text values addressed by section and key under the application
// "Cardwright" of the organisation "Marrowind". The program keeps the output folder (section
// "Cardwright", key "Text3") and, beside it, the output choice (commands/output_choice.h).
#pragma once

#include <QSettings>
#include <QString>
#include <memory>
#include <optional>

namespace cw::commands {

inline constexpr const char* kSettingsOrganisation = "Marrowind";
inline constexpr const char* kSettingsApplication = "Cardwright";
inline constexpr const char* kSettingsSection = "Cardwright";
inline constexpr const char* kOutputFolderKey = "Text3";

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The stored value, or nothing when the key is absent. A stored empty text is a value.
  virtual std::optional<QString> Read(const QString& section, const QString& key) const = 0;
  // Stores the value at once; false when the store could not be written.
  virtual bool Write(const QString& section, const QString& key, const QString& value) = 0;
};

// The stored value, or `fallback` when the key is absent.
QString GetSetting(const SettingsStore& store, const QString& section, const QString& key, const QString& fallback);

// Settings in an INI file: by default Marrowind/Cardwright.ini under the user's config folder.
class IniSettingsStore : public SettingsStore {
 public:
  IniSettingsStore();
  explicit IniSettingsStore(const QString& file);

  std::optional<QString> Read(const QString& section, const QString& key) const override;
  bool Write(const QString& section, const QString& key, const QString& value) override;
  QString FileName() const { return settings_->fileName(); }

 private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace cw::commands
