#pragma once

#include "lookup/Database.h"
#include "lookup/PostcodeLookup.h"

#include "PostcodeSite.h"
#include "support/RecordingSink.h"
#include "support/TestDatabase.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>
#include <optional>

namespace testing_support {

// A fresh database of each backend, and a connection for the test to open.
class DatabaseFixture : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override
    {
        if (!TestDatabase::available(GetParam()))
            GTEST_SKIP() << "no test MariaDB server";
        t.emplace(GetParam());
    }
    RecordingSink sink;
    std::optional<TestDatabase> t;
    lookup::Database db{sink};
};

// Harvesting against the local site into that database, with recorded
// pauses.
class HarvestFixture : public DatabaseFixture
{
protected:
    void SetUp() override
    {
        DatabaseFixture::SetUp();
        if (t) {
            ASSERT_TRUE(site.listen());
        }
    }
    lookup::MainWindowValues values(const QString& url) const
    {
        return {t->values(), url, "192.0.2.7"};
    }
    void load(const QString& url, int leaseSeconds = lookup::DefaultLeaseSeconds)
    {
        lookup::MainWindowValues v = values(url);
        v.LeaseSeconds = leaseSeconds;
        load(v);
    }
    void load(const lookup::MainWindowValues& v)
    {
        engine.load(v);
        ASSERT_TRUE(engine.database().isOpen());
    }
    TestEnv te;
    postcodesite::PostcodeSite site{postcodesite::SiteOptions{.port = 0}};
    lookup::PostcodeLookup engine{te.env, sink};
};

inline const auto BothBackends = ::testing::Values(Backend::SQLite, Backend::MariaDB);
inline std::string nameOf(const ::testing::TestParamInfo<Backend>& info)
{
    return backendName(info.param);
}

} // namespace testing_support
