#pragma once
// Shared pieces of the settings tests: a platform session whose company and user the test
// chooses, and a platform configuration in a temporary machine folder.

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "accpac/Session.h"
#include "platform/AccpacPaths.h"
#include "support/RegTestUtil.h"
#include "support/TestSupport.h"
#include "winapi/windows.h"

namespace lumaro::test {

// The session's company and user, changeable between calls (the settings ask again on
// every access).
class FakeSession : public accpac::Session {
public:
    FakeSession(std::string company, std::string user)
        : company_(std::move(company)), user_(std::move(user)) {}
    void SetCompany(std::string company) { company_ = std::move(company); }
    void SetUser(std::string user) { user_ = std::move(user); }
    int companyReads = 0;

    std::string CompanyID() const override {
        ++const_cast<FakeSession*>(this)->companyReads;
        return company_;
    }
    std::string UserID() const override { return user_; }
    std::string CompanyName() const override { return company_; }
    std::shared_ptr<accpac::DBLink> OpenDBLink(int, int) override { return nullptr; }
    accpac::ErrorList& Errors() override { throw std::logic_error("not used by the settings"); }
    bool GetScreenRegistration(const std::string&, int, std::string&, std::string&) override {
        return false;
    }
    void PrepareScreen(const std::string&, const std::string&, std::string&, std::string&,
                       std::string&) override {}
    std::string LauncherText() override { return {}; }

private:
    std::string company_;
    std::string user_;
};

// A temporary machine whose platform configuration points at <machine>/Shared, with the
// company folder <machine>/Shared/COMPANY created.
class PlatformMachine {
public:
    PlatformMachine() {
        shared_ = machine_.path() / "Shared";
        std::filesystem::create_directories(shared_ / "COMPANY");
        if (StoreRegText(HKEY_LOCAL_MACHINE,
                         "SOFTWARE\\ACCPAC International, Inc.\\ACCPAC\\Configuration",
                         "SharedData", shared_.string()) != ERROR_SUCCESS)
            throw std::runtime_error("cannot create the platform configuration");
        paths_ = std::make_unique<AccpacPaths>();
    }
    const std::filesystem::path& machine() const { return machine_.path(); }
    std::filesystem::path companyFolder() const { return shared_ / "COMPANY"; }
    std::filesystem::path iniFile() const { return companyFolder() / "OstrelLumaro.ini"; }
    const AccpacPaths& paths() const { return *paths_; }

private:
    TempMachine machine_;
    std::filesystem::path shared_;
    std::unique_ptr<AccpacPaths> paths_;
};

}  // namespace lumaro::test
