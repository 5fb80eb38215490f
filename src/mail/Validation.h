#pragma once

#include <QString>
#include <QStringList>

// The light checks the mail sender's setters make: an address is judged by
// its domain part, a host name by its last label.
namespace mail {

// The seven generic top-level domains and the country codes, blank-separated.
extern const QString DomainList;

// True when the text has exactly one "@" and the part after it passes
// IsValidHostName; the part before it is not examined.
bool IsValidEmailAddress(const QString& AddressString);

// True for an IsIPAddress text, or for a name of at least two labels whose
// last label (trimmed, any case) occurs anywhere in DomainList: a substring
// search, so fragments such as "B" or an empty label pass.
bool IsValidHostName(const QString& host);

// True for four dot-separated numbers, the first at most 239 and the others
// at most 255 (no lower bound).
bool IsIPAddress(const QString& text);

// True when every address passes IsValidEmailAddress (an empty list passes).
bool allAddressesValid(const QStringList& addresses);

// What keeps a text off a command or header line, checked before any
// connection whatever the validation level: "" when it is safe. A control
// character (C0, DEL, C1, the Unicode line and paragraph separators) could
// end the line and start a command or header of the sender's choosing.
// `what` names the text in the error ("the Recipient address").
QString controlCharacterError(const QString& text, const QString& what);
// As controlCharacterError, and a blank, "<" or ">" in an address would
// close the address and add parameters or a second one.
QString addressCharacterError(const QString& address, const QString& what);

} // namespace mail
