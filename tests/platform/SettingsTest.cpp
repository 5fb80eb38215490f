#include "platform/Settings.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

using namespace platform;
using testing_support::MemorySettingsStore;

TEST(GetSettingValue, DefaultsBlanksAndSuffixes)
{
    MemorySettingsStore store;
    const QString app = QStringLiteral("Straatwijs");
    EXPECT_EQ(GetSettingValue(store, app, "Main", "Missing", 42).toInt(), 42);

    store.SaveSetting(app, "Main", "Blank", "   ");
    const QVariant blank = GetSettingValue(store, app, "Main", "Blank", 9216.0);
    EXPECT_EQ(blank.typeId(), QMetaType::Double); // the default itself, unconverted
    EXPECT_EQ(blank.toDouble(), 9216.0);

    store.SaveSetting(app, "Main", "Dir", "C:\\Data\\");
    EXPECT_EQ(GetSettingValue(store, app, "Main", "Dir", {}, true, "\\").toString(), "C:\\Data");
    store.SaveSetting(app, "Main", "Dir2", "C:\\Data");
    EXPECT_EQ(GetSettingValue(store, app, "Main", "Dir2", {}, true, "\\").toString(), "C:\\Data");
    EXPECT_EQ(GetSettingValue(store, app, "Main", "Dir", {}, true, "").toString(), "C:\\Data\\");
    EXPECT_EQ(GetSettingValue(store, app, "Main", "Dir", {}, false, "\\").toString(), "C:\\Data\\");
}

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
