#pragma once

#include <QString>

namespace platform {

// The host's first non-loopback IPv4 address in dotted form; "127.0.0.1"
// when the host has none.
QString GetMachineIpAddress();

// The remote host address of the shared socket; the program never connects
// it, so this is "0.0.0.0" until the mail sender uses it.
QString GetRMachineIpAddress();

} // namespace platform
