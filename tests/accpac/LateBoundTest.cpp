#include <gtest/gtest.h>

#include "accpac/LateBound.h"
#include "support/TestSupport.h"

namespace {

class Entry : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Top MEMBER top)
public:
    int top = 700;
    Q_INVOKABLE QObject* GetControl() { return this; }
};

class Screen : public QObject {
    Q_OBJECT
    Q_PROPERTY(int sessionID MEMBER sessionID)
public:
    int sessionID = 0;
    Entry entry;
    QString lastName;
    Q_INVOKABLE QObject* UIAppControls(const QString& name) {
        lastName = name;
        return &entry;
    }
    Q_INVOKABLE QVariant IsListEmpty() { return QVariant(); }
    Q_INVOKABLE int Add(int a, int b) { return a + b; }
};

TEST(LateBoundTest, CallsMethodsAndPropertiesByName) {
    Screen screen;
    QObject* control = accpac::CallObject(
        accpac::CallObject(&screen, "UIAppControls", {"APP_Save_Button"}), "GetControl");
    EXPECT_EQ(screen.lastName, "APP_Save_Button");
    EXPECT_EQ(accpac::GetProperty(control, "Top").toInt(), 700);
    EXPECT_EQ(accpac::CallByName(&screen, "Add", {2, "3"}).toInt(), 5);
    EXPECT_FALSE(accpac::CallByName(&screen, "IsListEmpty").isValid());
    accpac::SetProperty(&screen, "sessionID", 42);
    EXPECT_EQ(screen.sessionID, 42);
}

TEST(LateBoundTest, MissingMembersRaise438) {
    Screen screen;
    const std::function<void()> calls[] = {[&] { accpac::CallByName(&screen, "NoSuchMethod"); },
                                           [&] { accpac::GetProperty(&screen, "NoSuchProperty"); },
                                           [&] { accpac::CallByName(&screen, "Add", {1}); }};
    for (const auto& call : calls) EXPECT_EQ(lumaro::test::RaisedBy(call).Number(), 438);
}

}  // namespace

#include "LateBoundTest.moc"
