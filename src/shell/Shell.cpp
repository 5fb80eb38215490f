#include "shell/Shell.h"

#include "platform/Convert.h"
#include "platform/Version.h"

namespace shell {

using platform::numberText;

namespace {
const QString Title = QString::fromLatin1(platform::version::ProgramTitle);
const QString Main = QStringLiteral("Main");
} // namespace

Placement defaultPlacement(double screenWidth, double screenHeight)
{
    const float w = float(screenWidth);
    const float h = float(screenHeight);
    Placement p;
    p.height = h * 4.0f / 5.0f;
    p.width = w * 4.0f / 5.0f;
    p.left = (w - w * 4.0f / 5.0f) / 2.0f;
    p.top = (h - h * 4.0f / 5.0f) / 2.0f;
    return p;
}

Placement storedPlacement(platform::SettingsStore& store, const Placement& d)
{
    auto read = [&store](const char* key, double def) {
        return platform::Val(
            platform::GetSettingValue(store, Title, Main, QString::fromLatin1(key), numberText(def))
                .toString());
    };
    Placement p;
    p.height = read("WindowHeight", d.height);
    p.width = read("WindowWidth", d.width);
    p.top = read("WindowTop", d.top);
    p.left = read("WindowLeft", d.left);
    return p;
}

void savePlacement(platform::SettingsStore& store, const Placement& p)
{
    store.SaveSetting(Title, Main, QStringLiteral("WindowTop"), numberText(float(p.top)));
    store.SaveSetting(Title, Main, QStringLiteral("WindowLeft"), numberText(float(p.left)));
    store.SaveSetting(Title, Main, QStringLiteral("WindowWidth"), numberText(float(p.width)));
    store.SaveSetting(Title, Main, QStringLiteral("WindowHeight"), numberText(float(p.height)));
}

QString caption()
{
    using namespace platform::version;
    const QString version = QStringLiteral("%1.%2.%3").arg(Major).arg(Minor).arg(Revision);
    return Title + QStringLiteral(", Versie: ") + version + QLatin1Char(' ') +
           QString::fromLatin1(LegalCopyright);
}

Shell::Shell(platform::Env env, messages::MessageLog& log, QObject* parent)
    : QObject(parent), m_env(env), m_log(log), m_engine(env, log),
      m_harvest(env, log, [this]() -> lookup::PostcodeLookup& { return lookup(); })
{
}

void Shell::load()
{
    values.Connection = lookup::ConnectionValues{defaults::Server, defaults::UID, defaults::PWD,
                                                 defaults::Database, defaults::Port};
    values.Url = defaults::Url;
    m_autostart = platform::booleanValue(platform::GetSettingValue(
        *m_env.settings, Title, QStringLiteral("Application"), QStringLiteral("Autostart"), false));
    values.IpAddress = m_env.host->machineIpAddress();
    m_log.AddMelding(QStringLiteral("IP-address = ") + values.IpAddress);
}

lookup::PostcodeLookup& Shell::lookup()
{
    if (!m_engine.loaded()) {
        m_engine.load(values);
        emit lookupLoaded();
    }
    return m_engine;
}

void Shell::toggleAutostart()
{
    m_autostart = !m_autostart;
    m_env.settings->SaveSetting(Title, QStringLiteral("Application"), QStringLiteral("Autostart"),
                                platform::booleanText(m_autostart));
}

} // namespace shell
