#pragma once

#include <QString>

// Error texts that more than one part of the sender records, written once.
namespace mail::internal {

inline const QString SmtpHostError = QStringLiteral("Invalid or Missing SMTP Host Name");
inline const QString Pop3HostError = QStringLiteral("Invalid or Missing POP3 Host Name");
inline const QString SocketNotOpen = QStringLiteral("Socket not Open");
inline const QString TimeoutText =
    QStringLiteral("Timeout occurred: The SMTP Host did not respond to the request");
inline const QString SenderError = QStringLiteral("Missing or Invalid Sender E-mail Address");

// What a refused text is, as its refusal names it ("Control character
// (U+000A) in a Recipient address").
namespace what {
inline const QString SenderAddress = QStringLiteral("the sender address");
inline const QString SenderName = QStringLiteral("the sender's display name");
inline const QString RecipientAddress = QStringLiteral("a Recipient address");
inline const QString RecipientName = QStringLiteral("a recipient's display name");
inline const QString CcAddress = QStringLiteral("a Cc address");
inline const QString CcName = QStringLiteral("a Cc display name");
inline const QString BccAddress = QStringLiteral("a Bcc address");
inline const QString ReplyToAddress = QStringLiteral("the Reply-to address");
} // namespace what

} // namespace mail::internal
