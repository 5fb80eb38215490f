#include "support/TestProcess.h"

#include <QApplication>
#include <gtest/gtest.h>

// Window tests run on the offscreen platform unless told otherwise: test
// discovery runs this binary at build time, without a display.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir folder;
    testing_support::isolateUserFolders(folder);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
