// Saving channel files: the native format byte for byte, the csv and text exports, the
// extension question, the save dialog, and writes that fail without harming the old file.
#include "test_fileload_support.h"

#include "framework/SysUtils.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <iterator>

using namespace apptest;
using namespace filetest;

namespace {

class FileSave : public ChannelFileTest {
protected:
    void FillSample()
    {
        SetMemory(0, {"14.195.00", "USB", "14.195.00", "USB", "N/A", "FALSE", "Home:net"});
        SetMemory(1, {"07.050.00", "LSB", "07.150.00", "CW", "88.5", "TRUE", "a,b;c"});
        SetMemory(99, {"29.600.00", "FM", "29.500.00", "FM", "1750", "FALSE", "Repeater"});
    }
};

TEST_F(FileSave, NativeFormatByteForByte)
{
    FillSample();
    Form1->MenuGrid->SetCell(3, 1, "2");
    FileChanged = true;
    const std::string name = Path("chan.vyx");
    ASSERT_TRUE(Form1->FileSaveAction(name, TChannelFormat::Native));

    const std::string bytes = ReadFile(name);
    ASSERT_EQ(bytes.substr(0, 25), "[Quillmere Version:2.4]\r\n");
    ASSERT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    const auto lines = Lines(bytes);
    // The default model has a menu set: one line per menu row follows the memories.
    const int menuRows = Form1->MenuGrid->RowCount() - 1;
    ASSERT_GT(menuRows, 0);
    ASSERT_EQ(lines.size(), std::size_t(101 + menuRows));
    EXPECT_EQ(lines[1], "MEM:0:14.195.00:USB:14.195.00:USB:N/A:FALSE:Home:net");
    EXPECT_EQ(lines[2], "MEM:1:07.050.00:LSB:07.150.00:CW:88.5:TRUE:a,b;c");
    EXPECT_EQ(lines[3], "MEM:2:::::::");
    EXPECT_EQ(lines[100], "MEM:99:29.600.00:FM:29.500.00:FM:1750:FALSE:Repeater");
    EXPECT_EQ(lines[101], "MENU:1:" + Form1->MenuGrid->GetCell(0, 1) + ":2");
    EXPECT_EQ(lines[102], "MENU:1:" + Form1->MenuGrid->GetCell(0, 2) + ":");

    EXPECT_FALSE(FileChanged);
    EXPECT_EQ(CurrentFileName, name);
    EXPECT_EQ(Form1->Caption(), "Quillmere - chan.vyx");
    EXPECT_EQ(Status(), "File \"" + name + "\" saved.");
}

TEST_F(FileSave, ExportsLeaveTheNativeFileAlone)
{
    FillSample();
    CurrentFileName = Path("mine.vyx");
    FileChanged = true;

    ASSERT_TRUE(Form1->FileSaveAction(Path("out.csv"), TChannelFormat::CommaSeparated));
    // Title, 100 memories, a blank line, the menu title and one line per menu row.
    const std::size_t csvLines = std::size_t(103 + Form1->MenuGrid->RowCount() - 1);
    auto lines = Lines(ReadFile(Path("out.csv")));
    ASSERT_EQ(lines.size(), csvLines);
    EXPECT_EQ(lines[0], "Mem#,RX Freq.,RX Mode,TX Freq.,RX Mode,Tone,Mem.Lock,Description");
    EXPECT_EQ(lines[1], "0,14.195.00,USB,14.195.00,USB,N/A,FALSE,Home:net");
    EXPECT_EQ(lines[3], "2,,,,,,,");
    EXPECT_EQ(lines[101], "");
    EXPECT_EQ(lines[102], "Menu#,Description,Setting");
    EXPECT_EQ(lines[103], Form1->MenuGrid->GetCell(0, 1) + "," + Form1->MenuGrid->GetCell(1, 1) + "," +
                              Form1->MenuGrid->GetCell(2, 1));

    ASSERT_TRUE(Form1->FileSaveAction(Path("out2.csv"), TChannelFormat::SemicolonSeparated));
    lines = Lines(ReadFile(Path("out2.csv")));
    ASSERT_EQ(lines.size(), csvLines);
    EXPECT_EQ(lines[0], "Mem#;RX Freq.;RX Mode;TX Freq.;RX Mode;Tone;Mem.Lock;Description");
    EXPECT_EQ(lines[2], "1;07.050.00;LSB;07.150.00;CW;88.5;TRUE;a,b;c");

    EXPECT_TRUE(FileChanged);
    EXPECT_EQ(CurrentFileName, Path("mine.vyx"));
    EXPECT_EQ(Form1->Caption(), "Quillmere - mine.vyx");
}

TEST_F(FileSave, TextExportColumnsLineUpUnderTheTitles)
{
    FillSample();
    SetMemory(2, {"1234.567.890", "USB", "", "", "", "", ""});
    ASSERT_TRUE(Form1->FileSaveAction(Path("out.txt"), TChannelFormat::Text));
    const auto lines = Lines(ReadFile(Path("out.txt")));
    // Version, a blank line, the title, 100 memories, a blank line, the menu title and one
    // line per menu row.
    ASSERT_EQ(lines.size(), std::size_t(105 + Form1->MenuGrid->RowCount() - 1));
    EXPECT_EQ(lines[0], "[Quillmere Version:2.4]");
    EXPECT_EQ(lines[1], "");
    const std::string title = "Mem# RX Freq.     Mode  TX Freq.     Mode  Tone    Mem.Lck Description";
    EXPECT_EQ(lines[2], title);
    EXPECT_EQ(lines[3], "0    14.195.00    USB   14.195.00    USB   N/A     FALSE   Home:net");
    // Data starts at the title's columns (1-based 1, 6, 19, 25, 38, 44, 52, 60).
    ASSERT_GT(lines[3].size(), 59u);
    for (std::size_t at : {5u, 18u, 24u, 37u, 43u, 51u, 59u})
        EXPECT_NE(lines[3][at], ' ') << at;
    // A longer cell shifts the rest of its line instead of being cut.
    EXPECT_EQ(lines[5].substr(0, 22), "2    1234.567.890 USB ");
    EXPECT_EQ(lines[103], "");
    EXPECT_EQ(lines[104].find("Setting"), 66u);
    EXPECT_EQ(lines[104].substr(0, 17), "Menu# Description");
    EXPECT_EQ(lines[105], TForm1::PadRight(Form1->MenuGrid->GetCell(0, 1), 6) +
                              TForm1::PadRight(Form1->MenuGrid->GetCell(1, 1), 60) +
                              Form1->MenuGrid->GetCell(2, 1));
    EXPECT_EQ(TForm1::PadRight("abc", 2), "abc");
    EXPECT_EQ(TForm1::PadRight("ab", 4), "ab  ");
}

TEST_F(FileSave, ModelWithoutMenuSetWritesOnlyMemories)
{
    UseModel(1);
    ASSERT_TRUE(Form1->FileSaveAction(Path("a.vyx"), TChannelFormat::Native));
    ASSERT_TRUE(Form1->FileSaveAction(Path("a.csv"), TChannelFormat::CommaSeparated));
    ASSERT_TRUE(Form1->FileSaveAction(Path("a.txt"), TChannelFormat::Text));
    EXPECT_EQ(Lines(ReadFile(Path("a.vyx"))).size(), 101u);
    EXPECT_EQ(Lines(ReadFile(Path("a.csv"))).size(), 101u);
    EXPECT_EQ(Lines(ReadFile(Path("a.txt"))).size(), 103u);
}

TEST_F(FileSave, ExtensionQuestionIsExactAndCaseSensitive)
{
    FileChanged = true;
    QueueAnswer(7);
    EXPECT_FALSE(Form1->FileSaveAction(Path("UPPER.VYX"), TChannelFormat::Native));
    EXPECT_FALSE(std::filesystem::exists(Path("UPPER.VYX")));
    EXPECT_EQ(Status(), "File Save canceled");
    EXPECT_TRUE(FileChanged);
    auto boxes = ShownBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "You selected to save the file in vyx formaat, but selected the VYX "
                             "extention.\rDo you want to continue anyway?");

    // No dot in the file part: the text after the folder's dot is compared.
    std::filesystem::create_directory(Path("dir.d"));
    QueueAnswer(6);
    EXPECT_TRUE(Form1->FileSaveAction(Path("dir.d/plain"), TChannelFormat::CommaSeparated));
    boxes = ShownBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[1].Text.find("in csv formaat, but selected the d/plain extention."), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(Path("dir.d/plain")));
}

TEST_F(FileSave, SaveAfterLoadingCsvAsksAndWritesNative)
{
    Form1->FileSaveAction(Path("in.csv"), TChannelFormat::CommaSeparated);
    Form1->LoadFile(Path("in.csv"));
    ASSERT_EQ(CurrentFileName, Path("in.csv"));
    QueueAnswer(6);
    EXPECT_TRUE(Form1->SaveAction());
    EXPECT_EQ(ReadFile(Path("in.csv")).substr(0, 23), "[Quillmere Version:2.4]");
    EXPECT_NE(ShownBoxes().back().Text.find("vyx formaat, but selected the csv extention"), std::string::npos);
}

TEST_F(FileSave, SaveAsDialogChoosesFormatAndFolder)
{
    MemoryFileDir = dir_.string();
    CancelDialog();
    EXPECT_FALSE(Form1->SaveAsAction());
    EXPECT_EQ(Status(), "Save canceled.");
    auto requests = DialogRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].Save);
    EXPECT_EQ(requests[0].Title, "Save VYX file");
    EXPECT_EQ(requests[0].FilterIndex, 1);
    EXPECT_EQ(requests[0].FilterCount, 4);
    EXPECT_TRUE(requests[0].OverwritePrompt);
    EXPECT_EQ(requests[0].Directory, dir_.string());

    FileChanged = true;
    ChooseFile(Path("x.csv"), 2);
    EXPECT_TRUE(Form1->SaveAsAction());
    EXPECT_EQ(ReadFile(Path("x.csv")).substr(0, 4), "Mem#");
    EXPECT_TRUE(CurrentFileName.empty());
    EXPECT_TRUE(FileChanged);

    // File > Save without a native file goes through the dialog.
    ChooseFile(Path("y.vyx"), 1);
    Form1->SaveMenuClick(nullptr);
    EXPECT_EQ(CurrentFileName, Path("y.vyx"));
    EXPECT_FALSE(FileChanged);
    requests = DialogRequests();
    EXPECT_EQ(requests.back().FileName, "");
}

// Declining the extension question saves nothing, so closing must not go on as if it had.
TEST_F(FileSave, CloseStaysOpenWhenTheSaveWasDeclined)
{
    FileChanged = true;
    QueueAnswer(6);                    // save the changes?
    ChooseFile(Path("notes.txt"), 1);  // native format under a .txt name
    QueueAnswer(7);                    // continue anyway? no
    bool canClose = true;
    Form1->FormCloseQuery(Form1, canClose);
    EXPECT_FALSE(canClose);
    EXPECT_TRUE(FileChanged);
    EXPECT_FALSE(std::filesystem::exists(Path("notes.txt")));
}

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

TEST_F(FileSave, FailedWriteKeepsTheOldFile)
{
    const std::string name = Path("keep.vyx");
    WriteFile(name, "old contents\r\n");
    FillSample();
    FileChanged = true;
    CurrentFileName = Path("other.vyx");
    {
        FileSizeLimit limit(200);
        EXPECT_THROW(Form1->FileSaveAction(name, TChannelFormat::Native), EInOutError);
    }
    EXPECT_EQ(ReadFile(name), "old contents\r\n");
    EXPECT_TRUE(FileChanged);
    EXPECT_EQ(CurrentFileName, Path("other.vyx"));
    // No temporary file is left behind.
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_))
        ++files;
    EXPECT_EQ(files, 1);

    // File > Save reports the failure and says nothing was saved.
    CurrentFileName = name;
    const auto before = ShownBoxes().size();
    {
        FileSizeLimit limit(200);
        EXPECT_FALSE(Form1->SaveAction());
    }
    ASSERT_EQ(ShownBoxes().size(), before + 1);
    EXPECT_NE(ShownBoxes().back().Text.find("Could not save file"), std::string::npos);
    EXPECT_EQ(Status(), "File \"" + name + "\" not saved.");
    EXPECT_TRUE(FileChanged);
    EXPECT_EQ(ReadFile(name), "old contents\r\n");
}

class Umask {
public:
    explicit Umask(mode_t mask) : old_(::umask(mask)) {}
    ~Umask() { ::umask(old_); }

private:
    mode_t old_;
};

// A save replaces the file the user keeps: through a link the linked file changes and the
// link stays, an existing file keeps its mode, and a new one gets what the umask allows.
TEST_F(FileSave, SavesKeepLinksAndModesAndFollowTheUmask)
{
    namespace fs = std::filesystem;
    FillSample();
    Umask mask(077);
    ChooseFile(Path("new.vyx"), 1);
    Form1->SaveAsClick(nullptr);
    EXPECT_EQ(fs::status(Path("new.vyx")).permissions() & fs::perms::all, fs::perms(0600));

    fs::create_directory(Path("real"));
    WriteFile(Path("real/target.vyx"), "old\r\n");
    fs::permissions(Path("real/target.vyx"), fs::perms(0640));
    fs::create_symlink("real/target.vyx", Path("link.vyx"));
    CurrentFileName = Path("link.vyx");
    Form1->SaveMenuClick(nullptr);
    EXPECT_TRUE(fs::is_symlink(Path("link.vyx")));
    EXPECT_EQ(ReadFile(Path("real/target.vyx")).substr(25, 54), "MEM:0:14.195.00:USB:14.195.00:USB:N/A:FALSE:Home:net\r\n");
    EXPECT_EQ(fs::status(Path("real/target.vyx")).permissions() & fs::perms::all, fs::perms(0640));
    EXPECT_EQ(CurrentFileName, Path("link.vyx"));
}

// Saves that a plain write would make land too: a name of 255 bytes, the longest a folder
// takes, and a file with two names, which stays one file with its mode.
TEST_F(FileSave, EverySaveLandsUnderTheLongestNameAndThroughEitherNameOfALink)
{
    namespace fs = std::filesystem;
    FillSample();
    const std::string longest = Path(std::string(251, 'n') + ".vyx");
    ChooseFile(longest, 1);
    Form1->SaveAsClick(nullptr);
    EXPECT_EQ(CurrentFileName, longest);
    EXPECT_EQ(LineOf(longest, 100), "MEM:99:29.600.00:FM:29.500.00:FM:1750:FALSE:Repeater");

    WriteFile(Path("club.vyx"), "old\r\n");
    fs::permissions(Path("club.vyx"), fs::perms(0640));
    fs::create_hard_link(Path("club.vyx"), Path("also.vyx"));
    CurrentFileName = Path("club.vyx");
    Form1->SaveMenuClick(nullptr);
    EXPECT_EQ(Status(), "File \"" + Path("club.vyx") + "\" saved.");
    EXPECT_EQ(ReadFile(Path("also.vyx")), ReadFile(longest));
    EXPECT_TRUE(fs::equivalent(Path("club.vyx"), Path("also.vyx")));
    EXPECT_EQ(fs::hard_link_count(Path("club.vyx")), 2u);
    EXPECT_EQ(fs::status(Path("club.vyx")).permissions() & fs::perms::all, fs::perms(0640));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3) << "no temporary files";
}

// A file anyone may write, in a shared folder with the sticky bit (as /tmp), saved by a user
// who owns neither: the folder refuses to let the file be replaced, so it is written in place
// and keeps its owner. Only root can make the files of two users: root saves as nobody;
// a user without that right saves its own file in a shared folder of its own.
TEST_F(FileSave, StickySharedFolderOfAnotherUser)
{
    namespace fs = std::filesystem;
    const bool root = ::geteuid() == 0;
    fs::permissions(dir_, fs::perms(0711));
    const std::string shared = Path("shared"), file = shared + "/club.vyx";
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms(01777));
    WriteFile(file, "old\r\n");
    fs::permissions(file, fs::perms(0666));
    struct stat before {};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);
    FillSample();
    CurrentFileName = file;
    FileChanged = true;
    {
        struct AsNobody {
            explicit AsNobody(bool root) : root(root) { ok = !root || (::setegid(65534) == 0 && ::seteuid(65534) == 0); }
            ~AsNobody() { if (root) (void)(::seteuid(0) + ::setegid(0)); }
            bool root, ok;
        } nobody(root);
        ASSERT_TRUE(nobody.ok);
        Form1->SaveMenuClick(nullptr);
    }
    EXPECT_FALSE(FileChanged);
    EXPECT_EQ(LineOf(file, 1), "MEM:0:14.195.00:USB:14.195.00:USB:N/A:FALSE:Home:net");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, before.st_uid);
    EXPECT_EQ(st.st_mode & 07777, 0666u);
    EXPECT_EQ(std::distance(fs::directory_iterator(shared), fs::directory_iterator()), 1) << "no temporary files";
}

TEST_F(FileSave, LongPathsAreNotCut)
{
    std::filesystem::path deep = dir_;
    for (int i = 0; i < 4; ++i)
        deep /= std::string(90, char('a' + i));
    std::filesystem::create_directories(deep);
    const std::string name = (deep / "long-channel-file-name.vyx").string();
    ASSERT_GT(name.size(), 300u);
    FillSample();
    ASSERT_TRUE(Form1->FileSaveAction(name, TChannelFormat::Native));
    EXPECT_EQ(CurrentFileName, name);
    Form1->Clear_Action_Mem(0, 99);
    Form1->LoadFile(name);
    EXPECT_EQ(Row(99)[7], "Repeater");
    EXPECT_EQ(CurrentFileName, name);
}

} // namespace
