#pragma once
// The one way the program shows a message box. The GUI installs a sink that shows a real
// box; tests install one that records the message and gives a prepared answer. Without a
// sink the message goes to standard error and the box's default answer is returned.

#include <string>

namespace lumaro {

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { OK, OKCancel, YesNo };
enum class MsgResult { OK, Cancel, Yes, No };

struct Message {
    std::string text;
    std::string title;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::OK;
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual MsgResult Show(const Message& message) = 0;
};

// Installs the sink for the whole process (nullptr: back to standard error). Returns the
// previous one.
MessageSink* SetMessageSink(MessageSink* sink);

// Shows a message box. An empty title means the product name.
MsgResult MsgBox(const std::string& text, MsgIcon icon, MsgButtons buttons = MsgButtons::OK,
                 const std::string& title = {});

}  // namespace lumaro
