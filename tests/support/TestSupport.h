#pragma once
// Helpers every test folder may use.

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "common/MessageBox.h"

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

// A temporary machine folder selected through LUMARO_MACHINE for the life of the object;
// the previous value is put back afterwards. Nothing touches the user's real files.
class TempMachine {
public:
    TempMachine();
    ~TempMachine();
    const std::filesystem::path& path() const { return dir_.path(); }
    std::string str() const { return dir_.str(); }

private:
    TempDir dir_;
    std::string previous_;
    bool hadPrevious_ = false;
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

// Reads a whole file as bytes ("" when missing); writes one.
std::string ReadFile(const std::filesystem::path& file);
void WriteFile(const std::filesystem::path& file, const std::string& content);

}  // namespace lumaro::test
