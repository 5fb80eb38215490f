#pragma once

#include "filelib/Context.h"

#include <QString>

namespace filelib {

// The full name of Filename in the folder remembered under "Main"/Label
// (Default when none is). When that file does not exist, or Filename is
// empty, an open dialog with the filter Selection lets the user point to
// it. The folder of the name found is remembered again. Returns the full
// name, or "" when the user cancelled.
QString FullFilename(const Context& ctx, const QString& Label, const QString& Selection,
                     const QString& Filename, const QString& Default = {});

// Finds and proves readable the file remembered in section RegisterSleutel:
// the folder under key RegisterWaarde (DefaultDirectory when none is, or
// when the remembered one is not absolute) and the name under key
// FileNaamInv (FileNaamInv itself when none is). It is opened once for
// reading through FileOpen ("INPUT", or "INPUT-Q" with a dialog first when
// the name is not absolute) and closed again; when the user picked another
// file, its folder and name are remembered. Returns the full name, or a
// null text after the box "Kan het bestand <name> niet vinden." when
// nothing could be opened.
QString BepaalVolledigeBestandsnaamReg(const Context& ctx, const QString& FileNaamInv,
                                       const QString& RegisterSleutel,
                                       const QString& RegisterWaarde, const QString& Filter,
                                       const QString& DefaultDirectory = {});

} // namespace filelib
