#pragma once
// Shared by the channel-file and edit-panel tests: a started main window with a scripted
// file dialog, a scratch folder, and helpers to fill rows and read files byte for byte.
#include "AppTestSupport.h"
#include "common/TempFolder.h"

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Grids.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace filetest {

struct DialogRequest {
    bool Save = false;
    std::string Title;
    std::string Directory;
    std::string FileName;
    int FilterIndex = 0;
    int FilterCount = 0;
    bool OverwritePrompt = false;
};

// The file dialog answers from a queue; an unqueued dialog counts as cancelled.
void InstallDialogFake();
void RemoveDialogFake();
void ChooseFile(const std::string& path, int filterIndex = 1);
void CancelDialog();
std::vector<DialogRequest> DialogRequests();

class ChannelFileTest : public apptest::ProgramTest {
protected:
    void SetUp() override
    {
        apptest::ProgramTest::SetUp();
        InstallDialogFake();
        dir_ = commontest::MakeTempDir("quillmere-files");
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override
    {
        RemoveDialogFake();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        apptest::ProgramTest::TearDown();
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string Status() const { return Form1->StatusBar->Panels()->Items(2)->Text(); }
    TStringGrid* Mem() const { return Form1->MemGrid; }

    static std::string ReadFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void WriteFile(const std::string& path, const std::string& bytes)
    {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }
    static std::vector<std::string> Lines(const std::string& bytes)
    {
        std::vector<std::string> lines;
        std::size_t start = 0, at;
        while ((at = bytes.find("\r\n", start)) != std::string::npos) {
            lines.push_back(bytes.substr(start, at - start));
            start = at + 2;
        }
        if (start < bytes.size())
            lines.push_back(bytes.substr(start));
        return lines;
    }
    // Line n of the file; a file with fewer lines fails the test (and gives an empty text).
    static std::string LineOf(const std::string& path, std::size_t n)
    {
        const auto lines = Lines(ReadFile(path));
        if (n < lines.size())
            return lines[n];
        ADD_FAILURE() << path << " has " << lines.size() << " lines, none numbered " << n;
        return {};
    }

    // Cells 1..7 of memory m.
    void SetMemory(int m, const std::array<const char*, 7>& cells)
    {
        for (int c = 1; c <= 7; ++c)
            Mem()->SetCell(c, m + 1, cells[std::size_t(c - 1)]);
    }
    std::vector<std::string> Row(int m) const
    {
        std::vector<std::string> cells;
        for (int c = 0; c <= 7; ++c)
            cells.push_back(Mem()->GetCell(c, m + 1));
        return cells;
    }
    // Applies radio model n (1-based) as the radio-type dialog does.
    void UseModel(int n)
    {
        CurrentRadio = static_cast<std::uint8_t>(n);
        Form1->ChangeRadioHandle(false);
    }

    std::filesystem::path dir_;
};

} // namespace filetest
