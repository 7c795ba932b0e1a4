#include "framework/Clipbrd.h"

#include "platform/Services.h"

#include <cstring>
#include <memory>

QM_CLASS_IMPL(TClipboard, TPersistent)

std::string TClipboard::AsText() const { return ClipboardService().GetText(); }

void TClipboard::SetAsText(const std::string& text) { ClipboardService().SetText(text); }

void TClipboard::SetTextBuf(const char* buffer)
{
    if (!buffer) {
        Clear();
        return;
    }
    ClipboardService().SetText(std::string(buffer, std::strlen(buffer)));
}

int TClipboard::GetTextBuf(char* buffer, int size) const
{
    if (!buffer || size <= 0)
        return 0;
    std::string text = AsText();
    int n = std::min(static_cast<int>(text.size()), size - 1);
    std::memcpy(buffer, text.data(), static_cast<size_t>(n));
    buffer[n] = '\0';
    return n;
}

void TClipboard::Clear() { ClipboardService().Clear(); }

bool TClipboard::HasFormat(unsigned format) const
{
    return format == CF_TEXT && ClipboardService().HasText();
}

TClipboard* Clipboard()
{
    static std::unique_ptr<TClipboard> clipboard = std::make_unique<TClipboard>();
    return clipboard.get();
}
