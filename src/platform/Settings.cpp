#include "platform/Settings.h"

#include "platform/Convert.h"
#include "platform/RunError.h"

#include <QSettings>

namespace platform {

namespace {
QString keyPath(const QString& Section, const QString& Key)
{
    return Section + QLatin1Char('/') + Key;
}
} // namespace

QString IniSettingsStore::GetSetting(const QString& AppName, const QString& Section,
                                     const QString& Key, const QVariant& Default)
{
    QSettings s(QSettings::IniFormat, QSettings::UserScope, AppName, AppName);
    const QVariant v = s.value(keyPath(Section, Key));
    if (!v.isValid())
        return Default.toString();
    return v.toString();
}

void IniSettingsStore::SaveSetting(const QString& AppName, const QString& Section,
                                   const QString& Key, const QString& Setting)
{
    QSettings s(QSettings::IniFormat, QSettings::UserScope, AppName, AppName);
    s.setValue(keyPath(Section, Key), Setting);
    s.sync();
    if (s.status() != QSettings::NoError)
        throw RunError(
            RunError::PathFileAccessError,
            QStringLiteral("Cannot save setting %1 to %2").arg(keyPath(Section, Key), s.fileName()),
            QStringLiteral("SaveSetting"));
}

QVariant GetSettingValue(SettingsStore& store, const QString& AppName, const QString& Section,
                         const QString& Key, const QVariant& Default, bool StripSuffix,
                         const QString& Suffix)
{
    QVariant v = store.GetSetting(AppName, Section, Key, Default);
    if (v.toString().trimmed().isEmpty())
        v = Default;
    if (StripSuffix && v.typeId() == QMetaType::QString) {
        const QString s = v.toString();
        if (s.endsWith(Suffix))
            v = s.left(s.size() - Suffix.size());
    }
    return v;
}

QString booleanText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

bool booleanValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString t = value.toString().trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || t.isEmpty())
        return false;
    bool ok = false;
    const double d = toNumber(t, &ok);
    return ok && d != 0;
}

} // namespace platform
