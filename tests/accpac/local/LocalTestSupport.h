#pragma once
// Fixtures of the local platform's tests: a demo installation in a temporary machine
// folder, made once per test suite for tests that only read it, and signed-on sessions.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "accpac/local/Installation.h"
#include "accpac/local/LocalSession.h"
#include "accpac/local/Site.h"
#include "support/TestSupport.h"

namespace lumaro::test {

// SYSOP signed on to a company of the demo installation.
inline std::shared_ptr<accpac::local::LocalSession> SignOn(const std::string& company = "SAMLTD") {
    accpac::local::LocalSessionManager manager;
    return manager.Signon({"SYSOP", accpac::local::kDemoSysopPassword, company});
}

// The database file of a company of the installation.
inline std::string CompanyFile(const std::string& id) {
    accpac::local::Site site = accpac::local::Site::Load();
    return site.DatabaseFile(*site.FindCompany(id));
}

// Whether the statement raises the error number with a description that holds the fragment.
template <typename Statement>
::testing::AssertionResult Raises(Statement&& statement, int number, const std::string& fragment) {
    const RuntimeError error = RaisedBy(statement);
    if (error.Number() == number && error.Description().find(fragment) != std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "raised " << error.Number() << ": " << error.Description();
}

class SharedDemo : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        machine_ = new TempMachine;
        accpac::local::Installation().InstallDemo(false);
    }
    static void TearDownTestSuite() {
        delete machine_;
        machine_ = nullptr;
    }

    static inline TempMachine* machine_ = nullptr;
};

}  // namespace lumaro::test
