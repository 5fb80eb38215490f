#pragma once

#include <QTemporaryDir>

namespace testing_support {

// Points the per-user settings (and the runtime folder, when unset) of this
// test process at `folder`, so tests never touch the user's own. Call before
// the application object is made.
void isolateUserFolders(const QTemporaryDir& folder);

} // namespace testing_support
