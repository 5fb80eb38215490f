#include "shell/DatabaseOptions.h"

#include "shell/Shell.h"
#include "support/TestEnv.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace shell;
using testing_support::TestEnv;

TEST(DatabaseOptions, OverridesReplaceOnlyWhatIsGivenAndReachTheEngine)
{
    TestEnv t;
    messages::MessageLog log(t.prompts);
    Shell s(t.env, log);
    s.load();
    applyOverrides(s, {});
    EXPECT_EQ(s.Server, "localhost");
    EXPECT_EQ(s.PWD, "Kxrt47+QB");
    EXPECT_EQ(s.Port, 3306);
    EXPECT_TRUE(s.SqlitePath.isEmpty());

    QTemporaryDir dir;
    ConnectionOverrides o;
    o.UID = "harvester";
    o.Port = 3307;
    o.SqlitePath = dir.filePath("straatwijs.sqlite");
    applyOverrides(s, o);
    EXPECT_EQ(s.UID, "harvester");
    EXPECT_EQ(s.Port, 3307);
    EXPECT_EQ(s.Database, "postcode");

    const std::unique_ptr<lookup::PostcodeLookup> engine = loadLookup(s);
    EXPECT_EQ(engine->UID, "harvester");
    EXPECT_EQ(engine->Url, s.Url);
    EXPECT_TRUE(engine->database().isOpen());
    EXPECT_TRUE(log.text().contains("Open database finished. RC=0"));
}
