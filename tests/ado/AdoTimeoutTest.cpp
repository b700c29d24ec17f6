// Servers that cannot be reached or never answer: Open fails with the driver's text within
// the connection timeout, for SQL Server (FreeTDS), PostgreSQL and PostgreSQL over ODBC.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "ado/Ado.h"
#include "ado/AdoTestUtil.h"

namespace {

using ado::test::RaisedBy;
using lumaro::RuntimeError;
using Clock = std::chrono::steady_clock;

// A TCP port on 127.0.0.1 that accepts connections (the kernel completes them) but never
// says a word: a server that hangs.
class SilentServer {
public:
    SilentServer() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&addr), len) == 0 &&
            listen(fd_, 16) == 0 && getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            port_ = ntohs(addr.sin_port);
    }
    ~SilentServer() {
        if (fd_ >= 0) close(fd_);
    }
    int Port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

// Opens with the connection timeout given: the error raised and the seconds it took.
std::pair<RuntimeError, double> OpenWithTimeout(const std::string& connectionString, int timeout) {
    ado::Connection connection;
    connection.SetConnectionTimeout(timeout);
    const auto start = Clock::now();
    RuntimeError e = RaisedBy([&] { connection.Open(connectionString); });
    EXPECT_EQ(e.Number(), ado::adErrProvider);
    EXPECT_FALSE(e.Description().empty());
    return {e, std::chrono::duration<double>(Clock::now() - start).count()};
}

TEST(AdoTimeoutTest, FirstRunTemplateFailsQuickly) {
    EXPECT_LT(OpenWithTimeout("Provider=SQLNCLI; Server=?; Database=?; Uid=?; Pwd=?;", 15).second,
              5.0);
}

// For SQL Server (FreeTDS), PostgreSQL and PostgreSQL over ODBC: a port where nothing listens
// fails at once, long before its timeout (15 s); a server that never answers fails once the
// connection timeout (2 s) is up.
TEST(AdoTimeoutTest, UnreachableServersFailWithinTheConnectionTimeout) {
    SilentServer silent;
    ASSERT_NE(silent.Port(), 0);
    // A port bound once and released: nothing listens there.
    for (const int port : {SilentServer().Port(), silent.Port()}) {
        const bool waits = port == silent.Port();
        const std::string p = std::to_string(port);
        for (const std::string& cs :
             {"Provider=SQLNCLI11;Server=127.0.0.1," + p + ";Database=x;Uid=sa;Pwd=x",
              "Provider=PostgreSQL;Host=127.0.0.1;Port=" + p + ";Database=x;User ID=x",
              "Driver={PostgreSQL Unicode};Servername=127.0.0.1;Port=" + p +
                  ";Database=x;Username=x"}) {
            const auto [error, seconds] = OpenWithTimeout(cs, waits ? 2 : 15);
            // It did wait for a silent server, unless the ODBC driver is not installed here.
            if (waits && error.Description().rfind("[unixODBC]", 0) != 0) {
                EXPECT_GE(seconds, 1.5) << error.Description();
            }
            EXPECT_LT(seconds, waits ? 6.0 : 5.0);
        }
    }
}

}  // namespace
