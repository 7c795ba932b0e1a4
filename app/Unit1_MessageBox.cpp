// The desktop services the main window calls: the message box with a kind's title and
// buttons, and opening a file in the desktop's program for it.
#include "app/Unit1.h"

#include "platform/Services.h"

int ShowKindMessageBox(const std::string& Text, std::uint8_t Kind, MessageBoxChoice Buttons)
{
    const MessageKind kind = Kind <= 2 ? static_cast<MessageKind>(Kind) : MessageKind::Custom;
    MessageButtons buttons = MessageButtons::OK;
    switch (Buttons) {
    case MessageBoxChoice::OK: buttons = MessageButtons::OK; break;
    case MessageBoxChoice::YesNo: buttons = MessageButtons::YesNo; break;
    case MessageBoxChoice::YesNoCancel: buttons = MessageButtons::YesNoCancel; break;
    }
    return MessageBoxService().Show(Text, MessageKindCaption(kind), kind, buttons);
}

bool OpenWithDesktop(const std::string& Target) { return ShellService().OpenUrl(Target); }
