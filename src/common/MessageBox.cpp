#include "common/MessageBox.h"

#include <iostream>

#include "common/VersionInfo.h"

namespace lumaro {

namespace {
MessageSink* g_sink = nullptr;
}

MessageSink* SetMessageSink(MessageSink* sink) {
    MessageSink* previous = g_sink;
    g_sink = sink;
    return previous;
}

MsgResult MsgBox(const std::string& text, MsgIcon icon, MsgButtons buttons,
                 const std::string& title) {
    Message message{text, title.empty() ? ProductName() : title, icon, buttons};
    if (g_sink) return g_sink->Show(message);
    std::cerr << message.title << ": " << message.text << '\n';
    switch (buttons) {
        case MsgButtons::OK:
            return MsgResult::OK;
        case MsgButtons::OKCancel:
            return MsgResult::Cancel;
        case MsgButtons::YesNo:
            return MsgResult::No;
    }
    return MsgResult::OK;
}

}  // namespace lumaro
