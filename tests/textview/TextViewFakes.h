#pragma once
// In-memory desktop services (clipboard) for the view's tests.
#include <optional>
#include <string>

void InstallTextViewFakes();
void RemoveTextViewFakes();
std::optional<std::string> FakeClipboardText();
int FakeClipboardWrites();
void SetFakeClipboardText(const std::string& text);
