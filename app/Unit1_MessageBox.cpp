// The desktop services the main window calls: the message box with a kind's title and
// buttons, and opening a file in the desktop's program for it.
#include "app/Unit1.h"

#include "platform/Services.h"

int ShowKindMessageBox(const std::string& Text, MessageKind Kind, MessageBoxChoice Buttons)
{
    MessageButtons buttons = MessageButtons::OK;
    switch (Buttons) {
    case MessageBoxChoice::OK: buttons = MessageButtons::OK; break;
    case MessageBoxChoice::YesNo: buttons = MessageButtons::YesNo; break;
    case MessageBoxChoice::YesNoCancel: buttons = MessageButtons::YesNoCancel; break;
    }
    return MessageBoxService().Show(Text, MessageKindCaption(Kind), Kind, buttons);
}

bool OpenWithDesktop(const std::string& Target) { return ShellService().OpenUrl(Target); }
