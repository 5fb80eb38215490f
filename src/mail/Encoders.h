#pragma once

#include <QByteArray>
#include <QString>

// The mail sender's encoders. Text that fits ISO-8859-1 becomes bytes
// through it, one byte per character; other text goes as UTF-8.
namespace mail {

// No character of the text lies above 255.
bool fitsLatin1(const QString& text);

// A header text ready for its header line. Plain 7-bit text is returned as
// it is (in double quotes when `quote`, its quotes and backslashes escaped
// with a backslash); text holding a byte above 126, a control character
// other than TAB, or "=?" becomes encoded words (ISO-8859-1, or UTF-8 when
// it does not fit), the shorter of the Q and the B form, several joined by
// CR LF TAB. With
// `quote` the Q form encodes everything but letters, digits and !*+-/, so
// that no address syntax shows in a display name.
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
