#pragma once

#include "platform/Clock.h"
#include "platform/Prompts.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace filelib {

// The separator the library builds and cuts file paths with on this platform.
inline constexpr QChar PathSeparator = u'/';

// The part of Text after the last Separator (all of it when there is none).
// SkipOne drops the first character before looking.
QString AfterLastSeparator(const QString& Text, QChar Separator, bool SkipOne);
// The part of Text up to and including the last Separator ("" when there is
// none). SkipOne drops the last character first, so a folder name that ends
// in the separator gives its parent.
QString UpToLastSeparator(const QString& Text, QChar Separator, bool SkipOne);
// AfterLastSeparator / UpToLastSeparator with "/" and SkipOne.
QString FileFromFullFilename(const QString& FullFilename);
QString DirFromFullFilename(const QString& FullFilename);

// Attributes of a listing: 0 lists files, 16 also folders (with "."
// and "..").
enum ListAttributes : qint32
{
    AttrNormal = 0,
    AttrDirectory = 16
};

// A folder listing that hands out one name at a time. Patterns take the
// wildcards "*" and "?" in their last part; a pattern ending in "/" lists
// the whole folder. Names come in name order, without their folder.
class DirListing
{
public:
    explicit DirListing(platform::Prompts& prompts) : m_prompts(prompts) {}

    // With Padnaam: starts a new listing and returns its first name; without:
    // the next name of the listing. "" when there is none (a missing folder
    // included). A name the system cannot take (a NUL, a part too long) is
    // fatal: a box says the system is unstable and RunError 52 goes to the
    // caller, to end the command that asked.
    QString ControlledDir(const std::optional<QString>& Padnaam = std::nullopt,
                          qint32 Attributes = AttrNormal);

private:
    platform::Prompts& m_prompts;
    QStringList m_names;
    qsizetype m_next = 0;
};

// Whether a file (DirExists: a file or folder) matches the name or pattern.
// Each uses a listing of its own. RunError 52 as ControlledDir.
bool FileExists(platform::Prompts& prompts, const QString& Bestandsnaam);
bool DirExists(platform::Prompts& prompts, const QString& DirNaam);

// Deletes every file matching FileNm (wildcards allowed). On a failure the
// user is asked, with OK and Cancel, to try again; true once every file is
// gone, false when the user cancels.
bool FileKill(platform::Prompts& prompts, const QString& FileNm);

// Creates a new empty file in the temporary folder, named after the first
// three characters of Prefix, a hexadecimal number and ".TMP", and returns
// its full name padded with NUL characters to 260 characters (all NUL when
// no file could be made). Callers cut at the first NUL.
QString TempFileName(platform::TickClock& tick, const QString& Prefix);

} // namespace filelib
