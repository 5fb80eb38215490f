#include "lookup/PostcodeLookup.h"

#include "lookup/RequestQueue.h"
#include "platform/RunError.h"
#include "support/RecordingSink.h"
#include "support/TestDatabase.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

using lookup::MainWindowValues;
using lookup::PostcodeLookup;
using namespace testing_support;

// A database that cannot be opened must not stop the load: Url is still
// copied, and only the queue fails later.
TEST(PostcodeLookup, LoadSkipsAFailedOpenAndUnloadEndsTheSearch)
{
    TestEnv env;
    RecordingSink sink;
    PostcodeLookup engine(env.env, sink);
    const lookup::ConnectionValues away = unreachableServer();
    engine.load(
        MainWindowValues{away.Server, "root", "pw", "postcode", "http://127.0.0.1:9", away.Port});
    EXPECT_TRUE(engine.ValidURL);
    EXPECT_EQ(engine.Url, "http://127.0.0.1:9");
    EXPECT_EQ(engine.Port, away.Port);
    EXPECT_FALSE(engine.database().isOpen());
    EXPECT_EQ(sink.lines.size(), 2);

    QString type;
    EXPECT_THROW(lookup::SearchQuery(engine.database(), type), platform::RunError);
    engine.unload();
    EXPECT_FALSE(engine.ValidURL);
    engine.terminate();
    EXPECT_TRUE(sink.lines.last().endsWith("closed. RC=91"));
}
