#pragma once
// Helpers every test folder may use.

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "common/MessageBox.h"
#include "common/RuntimeError.h"

namespace lumaro::test {

// A fresh temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

// Records every message box and answers with the queued answers (then the default: OK,
// or No for Yes/No boxes). Installed for the life of the object.
class RecordingMessageSink : public MessageSink {
public:
    RecordingMessageSink();
    ~RecordingMessageSink() override;
    MsgResult Show(const Message& message) override;
    void QueueAnswer(MsgResult answer) { answers_.push_back(answer); }

    std::vector<Message> messages;

private:
    std::deque<MsgResult> answers_;
    MessageSink* previous_;
};

// Sets (or, with nullptr, removes) an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_, previous_;
    bool hadPrevious_ = false;
};

// A temporary machine folder selected through LUMARO_MACHINE for the life of the object;
// the previous value is put back afterwards. Nothing touches the user's real files.
class TempMachine {
public:
    const std::filesystem::path& path() const { return dir_.path(); }
    std::string str() const { return dir_.str(); }

private:
    TempDir dir_;
    ScopedEnv env_{"LUMARO_MACHINE", dir_.str().c_str()};
};

// Reads a whole file as bytes ("" when missing); writes one.
std::string ReadFile(const std::filesystem::path& file);
void WriteFile(const std::filesystem::path& file, const std::string& content);
// ASCII text as UTF-16 little-endian with its byte order mark.
inline std::string Utf16(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

// The RuntimeError a statement raises; fails the test (and gives number 0) when none.
template <typename Statement>
RuntimeError RaisedBy(Statement&& statement) {
    try {
        statement();
    } catch (const RuntimeError& error) {
        return error;
    }
    ADD_FAILURE() << "no RuntimeError was raised";
    return RuntimeError(0, "", "");
}

}  // namespace lumaro::test
