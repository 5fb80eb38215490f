#pragma once

#include <QByteArray>
#include <QString>

// The mail sender's encoders. Text becomes bytes through ISO-8859-1, one byte
// per character; a character above 255 becomes '?'.
namespace mail {

// A header text ready for its header line. Plain 7-bit text is returned as
// it is (in double quotes when `quote`, its quotes and backslashes escaped
// with a backslash); text holding a byte above 126, a CR
// or an LF becomes encoded words, the shorter of the Q and the B form, several
// joined by CR LF TAB.
QString EncodeHeaderText(const QString& text, bool quote);

// Base64 of the bytes in lines of 76 characters, every line ending in CR LF
// (the last one too; no input gives one CR LF).
QByteArray EncodeBase64Bytes(const QByteArray& bytes);

// EncodeBase64Bytes over the text's bytes, as text; "" for an empty text.
QString EncodeBase64Text(const QString& text);

// One uuencoded line, without line end, for at most 63 bytes (45 in use);
// longer input gives an empty result. A short last group is written with 2
// or 3 characters and followed by "==" or "=".
QByteArray UUEncodeLine(const QByteArray& bytes);

// Decodes base64 in blocks of four characters; "=" ends a block early, and
// the first character outside the alphabet ends the decoding with what was
// decoded so far. Bytes come back as characters 0-255.
QString DecodeBase64String(const QString& str2Decode);

} // namespace mail
