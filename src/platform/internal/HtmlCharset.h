#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace platform::internal {

// The charset a page's bytes are read in, lower case: a UTF-8 or UTF-16
// byte-order mark ("utf-8", "utf-16"), else the Content-Type header's
// charset, else the page's meta tag; empty when none says.
QByteArray charsetOf(const QByteArray& bytes, const QByteArray& contentType);

// The bytes as the UTF-8 the parser reads, for the common charsets only and
// without a detour through UTF-16: a view of `bytes` when they already are
// clean UTF-8 or ASCII, else of `converted`. Nothing for the other charsets
// and for UTF-8 that decoding would change.
std::optional<std::string_view> asUtf8(const QByteArray& charset, const QByteArray& bytes,
                                       std::string& converted);

// The text of the bytes in that charset; windows-1252 (which is also what
// ISO-8859-1 labels mean on the web) for none or an unknown one.
QString decodeAs(const QByteArray& charset, const QByteArray& bytes);

} // namespace platform::internal
