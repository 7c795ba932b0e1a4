#pragma once
// The clipboard, plain text only, through the clipboard service.
#include <string>

#include "framework/Classes.h"

constexpr unsigned CF_TEXT = 1;

class TClipboard : public TPersistent {
    QM_CLASS(TClipboard, TPersistent)
public:
    std::string AsText() const;
    void SetAsText(const std::string& text);
    // The text up to the first NUL; null clears the clipboard.
    void SetTextBuf(const char* buffer);
    // Copies at most size - 1 characters and a NUL into buffer; returns the count copied.
    int GetTextBuf(char* buffer, int size) const;
    void Clear();
    // True for CF_TEXT while the clipboard holds text; false for any other format.
    bool HasFormat(unsigned format) const;
};

TClipboard* Clipboard();
