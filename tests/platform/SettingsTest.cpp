#include "platform/Settings.h"

#include <gtest/gtest.h>

using namespace platform;

// GetSettingValue's defaults for missing and blank values are checked with
// the window placement (WindowPlacementTest); no caller strips a suffix.
TEST(IniSettingsStore, KeepsValuesBetweenInstances)
{
    IniSettingsStore a;
    a.SaveSetting("StraatwijsTest", "Application", "Autostart", booleanText(true));
    IniSettingsStore b;
    EXPECT_TRUE(booleanValue(b.GetSetting("StraatwijsTest", "Application", "Autostart", false)));
    EXPECT_EQ(b.GetSetting("StraatwijsTest", "Application", "Absent", "x"), "x");
    EXPECT_FALSE(booleanValue(QString()));
    EXPECT_FALSE(booleanValue(QStringLiteral("False")));
}
