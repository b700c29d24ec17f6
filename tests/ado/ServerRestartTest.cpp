// A PostgreSQL server that stops between two queries and comes back. This stops the
// shared test server (LUMARO_PG_CTL), so its executable runs alone (RUN_SERIAL).

#include <gtest/gtest.h>
#include <signal.h>

#include <QTest>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "ado/Ado.h"
#include "ado/AdoTestUtil.h"
#include "panel/LookupWorker.h"
#include "support/IclocFixture.h"

namespace {

using ado::test::OpenQuery;
using ado::test::RaisedBy;
using lumaro::RuntimeError;
using namespace lumaro::test;

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// Stops the server for its life; the server runs again afterwards whatever happens.
class ServerStopped {
public:
    ServerStopped() : stopped_(PgCtl("stop -m fast")) {}
    ~ServerStopped() { Restart(); }
    bool Stopped() const { return stopped_; }
    bool Restart() {
        const std::string dir = Env("LUMARO_TEST_PG_SOCKET_DIR");
        if (stopped_)
            stopped_ = !PgCtl("start -l " + dir + "/server.log -o \"-k " + dir +
                              " -c listen_addresses=''\"");
        return !stopped_;
    }
    static bool PgCtl(const std::string& args) {
        const std::string command =
            Env("LUMARO_PG_CTL") + " " + args + " -w -t 60 >/dev/null 2>&1 </dev/null";
        return std::system(command.c_str()) == 0;
    }

private:
    bool stopped_;
};

class ServerRestartTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TestPgServer()) GTEST_SKIP() << kNoPgReason;
        if (Env("LUMARO_PG_CTL").empty() || Env("LUMARO_TEST_PG_SOCKET_DIR").empty())
            GTEST_SKIP()
                << "LUMARO_PG_CTL is not set: the test server cannot be stopped and started";
        database_ = std::make_unique<PgIclocDatabase>();
    }
    std::unique_ptr<PgIclocDatabase> database_;
};

TEST_F(ServerRestartTest, ALostConnectionIsReportedAndReopensWhenTheServerIsBack) {
    const std::string query = FirstRunQuery("A1-103/0", "1");
    std::shared_ptr<ado::Connection> connections[2];  // native, ODBC
    for (int i = 0; i < 2; ++i) {
        connections[i] = std::make_shared<ado::Connection>();
        connections[i]->SetConnectionTimeout(5);
        connections[i]->Open(i ? database_->OdbcConnectionString()
                               : database_->AdoConnectionString());
    }
    {
        ServerStopped stop;
        ASSERT_TRUE(stop.Stopped());
        for (auto& connection : connections) {
            const auto start = std::chrono::steady_clock::now();
            RuntimeError e = RaisedBy([&] { OpenQuery(connection, query); });
            EXPECT_EQ(e.Number(), ado::adErrProvider);
            EXPECT_FALSE(e.Description().empty());
            // The connection says it is no longer usable.
            EXPECT_EQ(connection->State(), ado::adStateClosed);
            // Reconnecting while the server is down fails with the client's text, quickly.
            RuntimeError down = RaisedBy([&] { connection->Open(); });
            EXPECT_EQ(down.Number(), ado::adErrProvider);
            EXPECT_NE(down.Description().find("No such file or directory"), std::string::npos)
                << down.Description();
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        }
        ASSERT_TRUE(stop.Restart());
    }
    for (auto& connection : connections) {
        connection->Open();
        EXPECT_FALSE(OpenQuery(connection, query)->IsEOF());
    }
}

}  // namespace

namespace lumaro {
namespace {

// The lookup worker against a server that stops and comes back, and one whose backend is
// paused (the socket open and silent): the window's thread never waits past the budget, the
// silent lookup times out, closing takes under a second, and the worker reconnects by itself.
TEST_F(ServerRestartTest, LookupWorkerRidesOutAStoppedAndAPausedServer) {
    std::vector<LookupAnswer> late;
    auto worker =
        std::make_unique<LookupWorker>(database_->AdoConnectionString(), std::chrono::seconds(1),
                                       [&](uint64_t, const LookupAnswer& a) { late.push_back(a); });
    const std::string query = FirstRunQuery("A1-103/0", "1");
    using Outcome = LookupAnswer::Outcome;
    ASSERT_TRUE(worker->WaitConnected(std::chrono::seconds(5)));
    {
        ServerStopped stop;
        ASSERT_TRUE(stop.Stopped());
        // value() throws, failing the test, when no answer came in time.
        EXPECT_EQ(worker->Wait(worker->Submit(query), std::chrono::seconds(2)).value().outcome,
                  Outcome::Unreachable);
        EXPECT_TRUE(worker->Reconnecting());
        ASSERT_TRUE(stop.Restart());
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return !worker->Reconnecting(); }, 10000));
    EXPECT_EQ(worker->Wait(worker->Submit(query), std::chrono::seconds(2)).value().outcome,
              Outcome::Found);

    // Pause the workers' backends: their statements get no answer at all. One worker times
    // out; the other, with a long timeout, is closed while its statement hangs.
    auto patient = std::make_unique<LookupWorker>(database_->AdoConnectionString(),
                                                  std::chrono::seconds(60), nullptr);
    ASSERT_TRUE(patient->WaitConnected(std::chrono::seconds(5)));
    auto admin = std::make_shared<ado::Connection>();
    admin->Open(database_->AdoConnectionString());
    std::vector<int> paused;
    for (auto rs = OpenQuery(admin,
                             "SELECT pid FROM pg_stat_activity WHERE datname = "
                             "current_database() AND pid <> pg_backend_pid()");
         !rs->IsEOF(); rs->MoveNext())
        paused.push_back(static_cast<int>(rs->Fields("pid").Value().ToDouble()));
    ASSERT_EQ(paused.size(), 2u);
    for (int pid : paused) ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(worker->Wait(worker->Submit(query), std::chrono::milliseconds(100)));
    EXPECT_FALSE(patient->Wait(patient->Submit(query), std::chrono::milliseconds(100)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !late.empty(); }, 5000));
    EXPECT_EQ(late[0].outcome, Outcome::TimedOut);
    const auto closing = std::chrono::steady_clock::now();
    patient.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(1));
    for (int pid : paused) ::kill(pid, SIGCONT);
}

}  // namespace
}  // namespace lumaro
