#include "support/TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace lumaro::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumaro-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Make everything writable again so read-only fixtures can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
}

RecordingMessageSink::RecordingMessageSink() : previous_(SetMessageSink(this)) {}

RecordingMessageSink::~RecordingMessageSink() { SetMessageSink(previous_); }

MsgResult RecordingMessageSink::Show(const Message& message) {
    messages.push_back(message);
    if (!answers_.empty()) {
        MsgResult answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    return message.buttons == MsgButtons::YesNo      ? MsgResult::No
           : message.buttons == MsgButtons::OKCancel ? MsgResult::Cancel
                                                     : MsgResult::OK;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old, hadPrevious_ = true;
    value ? setenv(name, value, 1) : unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    hadPrevious_ ? setenv(name_.c_str(), previous_.c_str(), 1) : unsetenv(name_.c_str());
}

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const std::filesystem::path& file, const std::string& content) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
}

}  // namespace lumaro::test
