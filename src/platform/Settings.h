#pragma once

#include <QString>
#include <QVariant>

namespace platform {

// The per-user settings store: application, section, key -> text.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;
    // The stored text, or Default converted to text when the key is absent.
    virtual QString GetSetting(const QString& AppName, const QString& Section, const QString& Key,
                               const QVariant& Default = QString()) = 0;
    virtual void SaveSetting(const QString& AppName, const QString& Section, const QString& Key,
                             const QString& Setting) = 0;
};

// One INI file per application name in the user's configuration folder
// ($XDG_CONFIG_HOME/<AppName>/<AppName>.ini). Write failures throw RunError 75.
class IniSettingsStore : public SettingsStore
{
public:
    QString GetSetting(const QString& AppName, const QString& Section, const QString& Key,
                       const QVariant& Default = QString()) override;
    void SaveSetting(const QString& AppName, const QString& Section, const QString& Key,
                     const QString& Setting) override;
};

// Reads a setting with a default: a blank stored text gives Default itself;
// with StripSuffix, a trailing Suffix is cut off.
QVariant GetSettingValue(SettingsStore& store, const QString& AppName, const QString& Section,
                         const QString& Key, const QVariant& Default, bool StripSuffix = false,
                         const QString& Suffix = QStringLiteral("\\"));

// The platform's text form of a Boolean and back ("True"/"False"; numbers
// read as non-zero; anything else false).
QString booleanText(bool value);
bool booleanValue(const QVariant& value);

} // namespace platform
