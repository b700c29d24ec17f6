// No modal dialog may block a test run: one that no test expected fails the test and is
// closed at once.

#include <gtest/gtest.h>

#include <QDialog>

#include "accpac/ModalDialog.h"

namespace {

class NoBlockingDialogs : public ::testing::Environment {
public:
    void SetUp() override {
        accpac::SetModalHandler([](QDialog& dialog) {
            ADD_FAILURE() << "Unexpected dialog: " << dialog.windowTitle().toStdString();
            dialog.reject();
        });
    }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new NoBlockingDialogs);

}  // namespace
