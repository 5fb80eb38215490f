#pragma once

class QCoreApplication;

namespace platform {

// Loads Qt's own Dutch texts (dialog buttons, context menus, the print and
// file dialogs) into `app`, so they match the program's Dutch. False, and
// English stays, when the translations are not installed.
bool installDutchQtTexts(QCoreApplication& app);

} // namespace platform
