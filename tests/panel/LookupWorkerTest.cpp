// The lookup worker on real databases: answers within the budget, late answers, the latest
// lookup winning with the earlier one cancelled on the server, the query timeout, closing
// during a hang, a database that comes back, a connection the server ended.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <chrono>
#include <optional>

#include "ado/AdoTestUtil.h"
#include "panel/LookupWorker.h"
#include "support/IclocFixture.h"

namespace lumaro {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Outcome = LookupAnswer::Outcome;

struct Late {
    std::vector<std::pair<uint64_t, LookupAnswer>> answers;
    LookupWorker::LateAnswer Callback() {
        return [this](uint64_t id, const LookupAnswer& a) { answers.push_back({id, a}); };
    }
};

// On SQLite: answers within the budget, a database that is gone, a locked one.
TEST(LookupWorkerTest, AnswersOnSqlite) {
    test::TempDir dir;
    const std::string db = test::CreateSqliteIcloc(dir.path() / "q.db");
    Late late;
    LookupWorker worker(db, 15s, late.Callback());
    const struct {
        std::string sql;
        Outcome outcome;
    } cases[] = {
        {test::FirstRunQuery("A1-103/0", "1"), Outcome::Found},
        {test::FirstRunQuery("NONE", "1"), Outcome::NoRow},
        {"SELEC nonsense", Outcome::QueryFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        std::optional<LookupAnswer> a = worker.Wait(worker.Submit(c.sql), 2s);
        ASSERT_TRUE(a);
        EXPECT_EQ(a->outcome, c.outcome);
        EXPECT_EQ(a->values.size(), c.outcome == Outcome::Found ? 5u : 0u);
        EXPECT_EQ(a->error.empty(), c.outcome != Outcome::QueryFailed) << a->error;
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(late.answers.empty());

    // A database that is gone answers as unreachable, and is tried again in the background
    // until it is back.
    LookupWorker missing("Provider=SQLite;Data Source=" + (dir.path() / "later.db").string(), 15s,
                         late.Callback());
    std::optional<LookupAnswer> a = missing.Wait(missing.Submit("SELECT 1"), 2s);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->outcome, Outcome::Unreachable);
    EXPECT_TRUE(missing.Reconnecting());
    test::CreateSqliteIcloc(dir.path() / "later.db");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !missing.Reconnecting(); }, 5000));

    // A database locked by another connection: past the budget the window goes on, and the
    // lookup is answered as timed out.
    auto locker = std::make_shared<ado::Connection>();
    locker->Open(db);
    ado::test::OpenQuery(locker, "BEGIN EXCLUSIVE");
    LookupWorker locked(db, 1s, late.Callback());
    const auto start = Clock::now();
    EXPECT_FALSE(locked.Wait(locked.Submit(test::FirstRunQuery("A1-103/0", "1")), 100ms));
    EXPECT_LT(Clock::now() - start, 300ms);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !late.answers.empty(); }, 4000));
    EXPECT_EQ(late.answers[0].second.outcome, Outcome::TimedOut);
}

// A statement that waits on PostgreSQL: pg_sleep, then the quantity row.
std::string Sleeping(double seconds) {
    return "SELECT 1 AS QTONHAND FROM pg_sleep(" + std::to_string(seconds) + ")";
}

int RunningSleeps(const test::PgIclocDatabase& db) {
    auto c = std::make_shared<ado::Connection>();
    c->Open(db.AdoConnectionString());
    auto rs =
        ado::test::OpenQuery(c,
                             "SELECT count(*) AS N FROM pg_stat_activity WHERE state = 'active' "
                             "AND query LIKE '%pg_sleep%' AND query NOT LIKE '%pg_stat_activity%'");
    return static_cast<int>(rs->Fields("N").Value().ToDouble());
}

TEST(LookupWorkerTest, SlowLookupsNeverHoldTheWindowAndTheLatestWins) {
    if (!test::TestPgServer()) GTEST_SKIP() << test::kNoPgReason;
    test::PgIclocDatabase db;
    Late late;
    LookupWorker worker(db.AdoConnectionString(), 2s, late.Callback());
    ASSERT_TRUE(worker.Wait(worker.Submit("SELECT 1 AS QTONHAND"), 5s));  // connected

    // Past the budget the window goes on; the answer comes later, through the callback.
    const auto start = Clock::now();
    const uint64_t slow = worker.Submit(Sleeping(0.4));
    EXPECT_FALSE(worker.Wait(slow, 100ms));
    EXPECT_LT(Clock::now() - start, 300ms);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !late.answers.empty(); }, 3000));
    EXPECT_EQ(late.answers[0].first, slow);
    EXPECT_EQ(late.answers[0].second.outcome, Outcome::Found);

    // Five lookups in quick succession: the earlier ones are cancelled on the server and
    // only the last one answers.
    late.answers.clear();
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(worker.Wait(worker.Submit(Sleeping(30)), 20ms));
    std::optional<LookupAnswer> a = worker.Wait(worker.Submit("SELECT 7 AS QTONHAND"), 3s);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->values[0], "7");
    EXPECT_TRUE(QTest::qWaitFor([&] { return RunningSleeps(db) == 0; }, 3000));
    QTest::qWait(50);
    EXPECT_TRUE(late.answers.empty());

    // The query timeout: cancelled on the server and answered as timed out.
    EXPECT_FALSE(worker.Wait(worker.Submit(Sleeping(30)), 50ms));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !late.answers.empty(); }, 4000));
    EXPECT_EQ(late.answers[0].second.outcome, Outcome::TimedOut);
    EXPECT_TRUE(QTest::qWaitFor([&] { return RunningSleeps(db) == 0; }, 3000));

    // A statement that fails keeps the connection; one the server ended is opened again at
    // once by the next lookup.
    auto backend = [&] {
        return worker.Wait(worker.Submit("SELECT pg_backend_pid() AS QTONHAND"), 3s);
    };
    const std::optional<LookupAnswer> before = backend();
    ASSERT_TRUE(before);
    EXPECT_EQ(worker.Wait(worker.Submit("SELEC nonsense"), 3s)->outcome, Outcome::QueryFailed);
    EXPECT_EQ(backend()->values, before->values);
    auto admin = std::make_shared<ado::Connection>();
    admin->Open(db.AdoConnectionString());
    ado::test::OpenQuery(admin, "SELECT pg_terminate_backend(" + before->values[0] + ") AS N");
    const std::optional<LookupAnswer> after = backend();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->outcome, Outcome::Found);
    EXPECT_NE(after->values, before->values);

    // Closing while a statement hangs returns at once.
    auto hanging = std::make_unique<LookupWorker>(db.AdoConnectionString(), 60s, late.Callback());
    EXPECT_FALSE(hanging->Wait(hanging->Submit(Sleeping(30)), 300ms));
    const auto closing = Clock::now();
    hanging.reset();
    EXPECT_LT(Clock::now() - closing, 1s);
}

}  // namespace
}  // namespace lumaro
