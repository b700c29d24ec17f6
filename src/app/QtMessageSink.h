#pragma once
// The GUI side of the message-box and wait-cursor seams: real message boxes and the
// application's override cursor.

#include "common/MessageBox.h"

namespace lumaro {

class QtMessageSink : public MessageSink {
public:
    MsgResult Show(const Message& message) override;
};

// Installs a QtMessageSink and the hourglass hooks for the life of the application.
void InstallGuiSeams();

}  // namespace lumaro
