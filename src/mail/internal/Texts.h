#pragma once

#include <QString>

// Error texts that more than one part of the sender records, written once.
namespace mail::internal {

inline const QString SmtpHostError = QStringLiteral("Invalid or Missing SMTP Host Name");
inline const QString Pop3HostError = QStringLiteral("Invalid or Missing POP3 Host Name");
inline const QString SocketNotOpen = QStringLiteral("Socket not Open");
inline const QString TimeoutText =
    QStringLiteral("Timeout occurred: The SMTP Host did not respond to the request");

} // namespace mail::internal
