// Writing channel files: the native format, the comma and semicolon exports and the
// fixed-width text export. A file is written beside its target and renamed over it, so a
// failed save never leaves the old file destroyed or half-written.
#include "app/Globals.h"
#include "app/Unit1.h"

#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/Grids.h"
#include "framework/SysUtils.h"

#include "platform/Files.h"

#include <cerrno>
#include <cstring>

namespace {

// The version of the file format, not of the program: the loader reads the digit after the
// colon to know what a memory line holds (2: numbered, with tone and lock-out). It changes
// only when the lines do.
constexpr const char* NativeFormatHeader = "[Quillmere Version:2.4]";
constexpr const char* LineEnd = "\r\n";

constexpr const char* SaveFilter =
    "Quillmere, (*.vyx)|*.vyx|Comma Separated Value, (*.csv)|*.csv|Dot/Semi Colon Separated "
    "Value, (*.csv)|*.csv|Text file, (*.txt)|*.txt";

std::string Joined(TStringGrid* grid, int row, int fromCol, int toCol, char separator)
{
    std::string line;
    for (int c = fromCol; c <= toCol; ++c) {
        if (c > fromCol)
            line += separator;
        line += grid->GetCell(c, row);
    }
    return line;
}

std::string NativeText(TStringGrid* mem, TStringGrid* menu)
{
    std::string out = std::string(NativeFormatHeader) + LineEnd;
    for (int r = 1; r <= MemoryCount; ++r)
        out += "MEM:" + Joined(mem, r, mcMemory, mcDescription, ':') + LineEnd;
    if (CurrentMenuSet != 0)
        for (int r = 1; r < menu->RowCount(); ++r)
            out += "MENU:" + IntToStr(CurrentMenuSet) + ":" + menu->GetCell(mnNumber, r) + ":" + menu->GetCell(mnCode, r) + LineEnd;
    return out;
}

std::string SeparatedText(TStringGrid* mem, TStringGrid* menu, char sep)
{
    const std::string s(1, sep);
    std::string out = "Mem#" + s + "RX Freq." + s + "RX Mode" + s + "TX Freq." + s + "RX Mode" + s +
                      "Tone" + s + "Mem.Lock" + s + "Description" + LineEnd;
    for (int r = 1; r <= MemoryCount; ++r)
        out += Joined(mem, r, mcMemory, mcDescription, sep) + LineEnd;
    if (CurrentMenuSet != 0) {
        out += LineEnd;
        out += "Menu#" + s + "Description" + s + "Setting" + LineEnd;
        for (int r = 1; r < menu->RowCount(); ++r)
            out += Joined(menu, r, mnNumber, mnValue, sep) + LineEnd;
    }
    return out;
}

std::string PlainText(TStringGrid* mem, TStringGrid* menu)
{
    static const std::uint8_t widths[] = {5, 13, 6, 13, 6, 8, 8};
    std::string out = std::string(NativeFormatHeader) + LineEnd + LineEnd;
    out += std::string("Mem# RX Freq.     Mode  TX Freq.     Mode  Tone    Mem.Lck Description") + LineEnd;
    for (int r = 1; r <= MemoryCount; ++r) {
        for (int c = mcMemory; c <= mcLockOut; ++c)
            out += TForm1::PadRight(mem->GetCell(c, r), widths[c]);
        out += mem->GetCell(mcDescription, r) + LineEnd;
    }
    if (CurrentMenuSet != 0) {
        out += LineEnd;
        out += std::string("Menu# Description                                                 Setting") + LineEnd;
        for (int r = 1; r < menu->RowCount(); ++r)
            out += TForm1::PadRight(menu->GetCell(mnNumber, r), 6) + TForm1::PadRight(menu->GetCell(mnDescription, r), 60) +
                   menu->GetCell(mnValue, r) + LineEnd;
    }
    return out;
}

} // namespace

std::string TForm1::PadRight(const std::string& Text, std::uint8_t Width)
{
    return Text.size() >= Width ? Text : Text + std::string(Width - Text.size(), ' ');
}

bool TForm1::FileSaveAction(const std::string& FileName, TChannelFormat Format)
{
    const std::string expected = Format == TChannelFormat::Native ? "vyx"
                                 : Format == TChannelFormat::Text ? "txt"
                                                                  : "csv";
    const auto dot = FileName.rfind('.');
    const std::string found = dot == std::string::npos ? FileName : FileName.substr(dot + 1);
    if (found != expected &&
        !YesNoMessage("You selected to save the file in " + expected + " formaat, but selected the " +
                          ShownFileName(found) + " extention.\rDo you want to continue anyway?",
                      MessageKind::Warning)) {
        ShowStatus("File Save canceled");
        return false;
    }

    // Another program may have written or replaced the file since this window read or
    // wrote it: that work is not overwritten unasked.
    if (FileName == FileOnDisk.Name) {
        const FileStamp now = StampOfFile(FileName);
        if (now.Exists && now != FileOnDisk.Stamp &&
            !YesNoMessage(ShownFileName(FileName) + " was changed by another program since Quillmere opened or "
                                                    "saved it.\rDo you want to overwrite it?",
                          MessageKind::Warning)) {
            ShowStatus("File Save canceled");
            return false;
        }
    }

    std::string text;
    switch (Format) {
    case TChannelFormat::CommaSeparated: text = SeparatedText(MemGrid, MenuGrid, ','); break;
    case TChannelFormat::SemicolonSeparated: text = SeparatedText(MemGrid, MenuGrid, ';'); break;
    case TChannelFormat::Text: text = PlainText(MemGrid, MenuGrid); break;
    case TChannelFormat::Native: text = NativeText(MemGrid, MenuGrid); break;
    }
    // A channel file is the user's document: a new one gets the mode the umask allows.
    if (!ReplaceFileContents(FileName, text, 0666)) {
        const int error = errno;
        ShowStatus("File \"" + ShownFileName(FileName) + "\" not saved.");
        throw EInOutError("Could not save file " + ShownFileName(FileName) + " : " + std::strerror(error));
    }
    // Only a native file that is safely written ties the grids to it.
    if (Format == TChannelFormat::Native) {
        FileChanged = false;
        CurrentFileName = FileName;
    }
    if (FileName == CurrentFileName || FileName == FileOnDisk.Name)
        FileOnDisk = {FileName, StampOfFile(FileName)};
    ShowStatus("File \"" + ShownFileName(FileName) + "\" saved.");
    SetCaption("Quillmere - " + ShownFileName(ExtractLastPathPart(CurrentFileName)));
    return true;
}

namespace {
// A failed write is shown like any other error; the caller learns that nothing was saved.
template <class F> bool ShowingWriteErrors(F&& save)
{
    try {
        return save();
    } catch (Exception& e) {
        Application->ShowException(&e);
        return false;
    }
}
} // namespace

bool TForm1::SaveAsAction()
{
    if (!SaveDialog) {
        SaveDialog = new TSaveDialog(this);
        SaveDialog->DefaultExt = "vyx";
        SaveDialog->Filter = SaveFilter;
        SaveDialog->Title = "Save VYX file";
        SaveDialog->Options = TOpenOptions{ofOverwritePrompt, ofHideReadOnly, ofShowHelp, ofEnableSizing};
    }
    SaveDialog->FileName = ExtractLastPathPart(CurrentFileName);
    SaveDialog->InitialDir = CurrentFileName.empty() ? MemoryFileDir : CurrentFileName;
    SaveDialog->FilterIndex = int(TChannelFormat::Native);
    if (!SaveDialog->Execute()) {
        ShowStatus("Save canceled.");
        return false;
    }
    const std::string name = SaveDialog->FileName;
    const int index = SaveDialog->FilterIndex;
    const TChannelFormat format = index >= int(TChannelFormat::Native) && index <= int(TChannelFormat::Text)
                                      ? static_cast<TChannelFormat>(index)
                                      : TChannelFormat::Native;
    return ShowingWriteErrors([&] { return FileSaveAction(name, format); });
}

bool TForm1::SaveAction()
{
    if (CurrentFileName.empty())
        return SaveAsAction();
    return ShowingWriteErrors([&] { return FileSaveAction(CurrentFileName, TChannelFormat::Native); });
}

void TForm1::SaveMenuClick(TObject*) { SaveAction(); }

void TForm1::SaveAsClick(TObject*) { SaveAsAction(); }
