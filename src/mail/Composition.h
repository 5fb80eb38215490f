#pragma once

#include "mail/MessageWriter.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The message stream the mail sender writes after the server's 354 reply,
// through the final "." line, as pure functions over the message properties
// and a writer. Nothing here touches a socket.
namespace mail {

// The message properties of clsSendMail as the composition reads them.
// AttachmentNames and AttachmentEmbedded run parallel to AttachmentPaths.
struct MailMessage
{
    QString from;
    QString FromDisplayName;
    QStringList Recipient;
    QStringList RecipientDisplayName;
    QStringList CcRecipient;
    QStringList CcDisplayName;
    QStringList BccRecipient;
    QString ReplyToAddress;
    QString Subject;
    QString Message; // as PrepareMessage left it
    bool AsHTML = false;
    QString ContentBase;
    qint32 EncodeType = 0; // 0 MIME, otherwise uuencode
    qint32 Priority = 3;
    QString PriorityText;
    QString XMailer;
    bool Receipt = false;
    bool EightBitMessage = false;
    QStringList AttachmentPaths;
    QStringList AttachmentNames;
    QList<bool> AttachmentEmbedded;
    qint64 AttachmentBytes = 0;
    qint64 AttachmentNameChars = 0;
};

// Values fixed for one send.
struct SendValues
{
    bool UseMultipart = false;
    bool HasEmbedded = false;
    QString Boundary;
    QDateTime now; // the local date and time of the Date line
    QString TimeZoneOffset;
};

struct StreamResult
{
    bool complete = true;
    QString error; // why the stream failed; empty when it was stopped by the writer
};

// Writes the whole stream, headers to ".", one send call per piece.
StreamResult writeMessageStream(const MailMessage& message, const SendValues& values,
                                MessageWriter& out);

// Writes one attachment's data: base64 in chunks of 11400 bytes (mode 0) or
// uuencoded lines of 45 bytes (mode 1). Returns "" on success, else the
// failure's description (file access, or "Socket not Open").
QString SendFileEncoded(const QString& path, int mode, MessageWriter& out);

// The From value: the encoded display name (or the address in double
// quotes) followed by " <address>".
QString fromValue(const MailMessage& message);
// The To or Cc value: one entry per address, joined by ", " CR LF TAB.
QString addressListValue(const QStringList& addresses, const QStringList& displayNames);

// Cuts or pads the display-name lists to the length of their address lists.
void fitDisplayNames(MailMessage& message);

// "Sun, 6 Dec 2026 14:30:15 +0100".
QString dateText(const QDateTime& now, const QString& TimeZoneOffset);
// "----_=_NextPart_000_" with the day serial and the time of day in hex.
QString makeBoundary(const QDateTime& now);
// The zone offset text ("+0100", "-0330") for an offset in minutes west of
// UTC.
QString timeZoneOffsetText(int minutesWest);

// The message text as it is sent: line ends made CR LF, lines beginning with
// "." doubled, lines over 998 characters folded (at the last blank when there
// is one).
QString PrepareMessage(const QString& text);

// With HTML and attachments: rewrites each quoted attribute in a tag that
// names an attachment's file into "cid:" + name and marks the attachment
// embedded. True when anything was rewritten.
bool EmbedReferencedFiles(MailMessage& message);

// The content type registered for the file's extension, or strDefault.
QString GetContentType(const QString& strFile, const QString& strDefault = {});

} // namespace mail
