#include "app/CommandLine.h"

#include <gtest/gtest.h>

using namespace app;

namespace {
ParseResult parse(const QStringList& args, const QString& envPassword = {})
{
    QProcessEnvironment env;
    if (!envPassword.isNull())
        env.insert("STRAATWIJS_DB_PASSWORD", envPassword);
    return parseCommandLine(QStringList{"straatwijs"} + args, env);
}
} // namespace

TEST(CommandLine, DatabaseOptionsAndPasswordSources)
{
    const ParseResult none = parse({"--headless"});
    EXPECT_FALSE(none.done);
    EXPECT_FALSE(none.options.database.Server || none.options.database.PWD ||
                 none.options.database.Port);

    const ParseResult all = parse({"--db-server", "127.0.0.1", "--db-port", "3307", "--db-user",
                                   "u", "--db-name", "d", "--db-sqlite", "/tmp/x.sqlite"},
                                  "uit-omgeving");
    const shell::ConnectionOverrides& db = all.options.database;
    EXPECT_EQ(db.Server, "127.0.0.1");
    EXPECT_EQ(db.Port, 3307);
    EXPECT_EQ(db.UID, "u");
    EXPECT_EQ(db.Database, "d");
    EXPECT_EQ(db.SqlitePath, "/tmp/x.sqlite");
    EXPECT_EQ(db.PWD, "uit-omgeving");

    EXPECT_EQ(parse({"--db-password", "p"}, "uit-omgeving").options.database.PWD, "p");
    EXPECT_EQ(parse({}, "").options.database.PWD, "");

    for (const char* bad : {"0", "70000", "poort"}) {
        const ParseResult r = parse({"--db-port", bad});
        EXPECT_TRUE(r.done);
        EXPECT_EQ(r.status, ExitUsage);
    }
}
