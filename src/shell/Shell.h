#pragma once

#include "messages/MessageLog.h"
#include "platform/Env.h"

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

// The state behind the main window, free of widgets so it also runs headless:
// the public values, the host address and the autostart option.
class Shell
{
public:
    Shell(platform::Env env, messages::MessageLog& log);

    // The main window's public values.
    QString Server, UID, PWD, Database, Url, IpAddress;
    // The database server's TCP port, and the embedded database file that
    // replaces the server when set (empty by default).
    int Port = defaults::Port;
    QString SqlitePath;

    // Load: fixes the defaults, reads the autostart option, takes the host
    // address and reports it ("IP-address = ...").
    void load();

    bool autostart() const { return m_autostart; }
    // Inverts the autostart option and stores it.
    void toggleAutostart();

    platform::Env& env() { return m_env; }
    messages::MessageLog& log() { return m_log; }

private:
    platform::Env m_env;
    messages::MessageLog& m_log;
    bool m_autostart = false;
};

} // namespace shell
