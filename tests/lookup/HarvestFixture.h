#pragma once

#include "lookup/PostcodeLookup.h"

#include "PostcodeSite.h"
#include "support/RecordingSink.h"
#include "support/TestDatabase.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>
#include <optional>

namespace testing_support {

// Harvesting against the local site into a fresh database of each backend,
// with recorded pauses.
class HarvestFixture : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override
    {
        if (!TestDatabase::available(GetParam()))
            GTEST_SKIP() << "no test MariaDB server";
        t.emplace(GetParam());
        ASSERT_TRUE(site.listen());
    }
    void load(const QString& url)
    {
        engine.load(lookup::MainWindowValues{t->values(), url, "192.0.2.7"});
        ASSERT_TRUE(engine.database().isOpen());
    }
    TestEnv te;
    RecordingSink sink;
    postcodesite::PostcodeSite site{postcodesite::SiteOptions{.port = 0}};
    std::optional<TestDatabase> t;
    lookup::PostcodeLookup engine{te.env, sink};
};

} // namespace testing_support
