// Kept apart from the form headers, which declare message-box constants of their own.
#include <memory>

#include "TextViewFakes.h"
#include "platform/FakeServices.h"

namespace {
std::unique_ptr<FakeServices> fakes;
}

void InstallTextViewFakes() { fakes = std::make_unique<FakeServices>(); }
void RemoveTextViewFakes() { fakes.reset(); }
std::optional<std::string> FakeClipboardText() { return fakes->Clipboard.Text; }
int FakeClipboardWrites() { return fakes->Clipboard.Writes; }
void SetFakeClipboardText(const std::string& text) { fakes->Clipboard.Text = text; }
