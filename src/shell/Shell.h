#pragma once

#include "lookup/PostcodeLookup.h"
#include "messages/MessageLog.h"
#include "platform/Env.h"
#include "shell/Harvest.h"

#include <QObject>
#include <QString>

namespace shell {

// The fixed defaults of the main window's public values.
namespace defaults {
inline const QString Server = QStringLiteral("localhost");
inline const QString UID = QStringLiteral("root");
inline const QString PWD = QStringLiteral("Kxrt47+QB");
inline const QString Database = QStringLiteral("postcode");
inline const QString Url = QStringLiteral("http://127.0.0.1:8080");
inline constexpr int Port = 3306;
} // namespace defaults

// Window placement in twips.
struct Placement
{
    double top = 0;
    double left = 0;
    double width = 0;
    double height = 0;
    bool operator==(const Placement&) const = default;
};

// Four fifths of the screen in each direction, centred (single precision).
Placement defaultPlacement(double screenWidth, double screenHeight);

// The stored placement, each value falling back to `defaults`; a stored text
// without a leading number gives 0.
Placement storedPlacement(platform::SettingsStore& store, const Placement& defaults);

// Saves the placement under "Main" (top, left, width, height, in that order).
void savePlacement(platform::SettingsStore& store, const Placement& p);

// "Straatwijs, Versie: X.Y.Z " (title, version and the empty copyright).
QString caption();

// The program behind the main window, free of widgets so it runs headless
// alike: the main window's values, the autostart option, and the lookup
// engine and harvest commands it owns. Windows only show it.
class Shell : public QObject
{
    Q_OBJECT
public:
    Shell(platform::Env env, messages::MessageLog& log, QObject* parent = nullptr);

    // The main window's public values (Server, UID, PWD, Database and the
    // rest in values.Connection; Url; IpAddress).
    lookup::MainWindowValues values;

    // Load: fixes the defaults, reads the autostart option, takes the host
    // address and reports it ("IP-address = ...").
    void load();

    bool autostart() const { return m_autostart; }
    // Inverts the autostart option and stores it.
    void toggleAutostart();

    // The lookup engine, loaded with the main window's values on first use
    // (and again after the lookup form unloaded it).
    lookup::PostcodeLookup& lookup();
    // The engine as it is, loaded or not.
    lookup::PostcodeLookup& engine() { return m_engine; }
    Harvest& harvest() { return m_harvest; }

    platform::Env& env() { return m_env; }
    messages::MessageLog& log() { return m_log; }

signals:
    // The engine has just loaded: the window shows the lookup form on it.
    void lookupLoaded();

private:
    platform::Env m_env;
    messages::MessageLog& m_log;
    bool m_autostart = false;
    lookup::PostcodeLookup m_engine;
    Harvest m_harvest;
};

} // namespace shell
