#include "common/TempFolder.h"
#include "framework/Clipbrd.h"
#include "framework/Dialogs.h"
#include "framework/Printers.h"
#include "platform/FakeServices.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const char* const kOpenFilter =
    "Quillmere, (*.vyx)|*.vyx|Comma Separated Value, (*.csv)|*.csv|Dot/Semi Colon Separated "
    "Value, (*.csv)|*.csv|Text file, (*.txt)|*.txt|All Files, (*.*)|*.*";

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir = commontest::MakeTempDir("qm-dlg");
        ASSERT_FALSE(Dir.empty());
    }
    void TearDown() override
    {
        EXPECT_TRUE(Fakes.AllProblems().empty());
        fs::remove_all(Dir);
    }
    FakeServices Fakes;
    fs::path Dir;
};

} // namespace

TEST_F(Dialogs, MessageDlgCaptionsButtonsAndResults)
{
    Fakes.Messages.Answers = {IDYES, IDNO, IDCANCEL};
    EXPECT_EQ(MessageDlg("Changes not saved, continue anyway ?", mtWarning, {mbYes, mbNo}), IDYES);
    EXPECT_EQ(MessageDlg("Line one\rLine two", mtError, {mbYes, mbNo}), IDNO);
    EXPECT_EQ(MessageDlg("Save?", mtWarning, mbYesNoCancel), IDCANCEL);
    EXPECT_EQ(MessageDlg("Done.", mtInformation, {mbOK}), IDOK);
    EXPECT_EQ(MessageDlg("Other", static_cast<TMsgDlgType>(mtCustom), {mbOK}), IDOK);
    ShowMessage("Hello");

    const auto& s = Fakes.Messages.Shown;
    ASSERT_EQ(s.size(), 6u);
    EXPECT_EQ(s[0].Caption, "Warning");
    EXPECT_EQ(s[0].Buttons, MessageButtons::YesNo);
    EXPECT_EQ(s[0].Text, "Changes not saved, continue anyway ?");
    EXPECT_EQ(s[1].Caption, "Error");
    EXPECT_EQ(s[1].Kind, MessageKind::Error);
    EXPECT_EQ(s[1].Text, "Line one\rLine two");
    EXPECT_EQ(s[2].Buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(s[3].Caption, "Information");
    EXPECT_EQ(s[3].Buttons, MessageButtons::OK);
    EXPECT_EQ(s[4].Caption, "Note");
    EXPECT_EQ(s[5].Caption, "Information");
}

TEST_F(Dialogs, OpenDialogPassesItsPropertiesAndReadsTheChoiceBack)
{
    TOpenDialog dlg(nullptr);
    // Published, so a form description can set them.
    SetStrProp(&dlg, "Filter", kOpenFilter);
    SetStrProp(&dlg, "Title", "Open VYX file");
    SetStrProp(&dlg, "DefaultExt", "vyx");
    SetSetProp(&dlg, "Options", "[ofHideReadOnly,ofShowHelp,ofEnableSizing]");
    EXPECT_EQ(GetOrdProp(&dlg, "FilterIndex"), 1);
    fs::create_directories(Dir / "chan");
    std::ofstream(Dir / "chan/old.vyx") << "x";
    dlg.FileName = "old.vyx";
    dlg.InitialDir = (Dir / "chan/old.vyx").string(); // a file path: its folder is meant

    Fakes.Files.Choose((Dir / "chan/new.csv").string(), 3);
    ASSERT_TRUE(dlg.Execute());
    ASSERT_EQ(Fakes.Files.Requests.size(), 1u);
    const FileDialogRequest& rq = Fakes.Files.Requests[0];
    EXPECT_FALSE(rq.Save);
    EXPECT_EQ(rq.Title, "Open VYX file");
    EXPECT_EQ(rq.Directory, (Dir / "chan").string());
    EXPECT_EQ(rq.FileName, "old.vyx");
    EXPECT_EQ(rq.DefaultExt, "vyx");
    EXPECT_FALSE(rq.OverwritePrompt);
    ASSERT_EQ(rq.Filters.size(), 5u);
    EXPECT_EQ(rq.Filters[0], (FileFilter{"Quillmere, (*.vyx)", "*.vyx"}));
    EXPECT_EQ(rq.Filters[2], (FileFilter{"Dot/Semi Colon Separated Value, (*.csv)", "*.csv"}));
    EXPECT_EQ(rq.Filters[4].Mask, "*.*");
    EXPECT_EQ(rq.FilterIndex, 1);

    EXPECT_EQ(dlg.FileName, (Dir / "chan/new.csv").string());
    EXPECT_EQ(dlg.FilterIndex, 3);
    EXPECT_EQ(dlg.Files()->Count(), 1);

    // Cancelled: nothing changes.
    Fakes.Files.Cancel();
    EXPECT_FALSE(dlg.Execute());
    EXPECT_EQ(dlg.FileName, (Dir / "chan/new.csv").string());
    EXPECT_EQ(dlg.FilterIndex, 3);
    EXPECT_EQ(Fakes.Files.Requests[1].FilterIndex, 3);
    EXPECT_EQ(Fakes.Files.Requests[1].FileName, "new.csv");
}

TEST_F(Dialogs, InitialDirResolution)
{
    TOpenDialog dlg(nullptr);
    dlg.InitialDir = Dir.string() + "/";
    EXPECT_EQ(dlg.StartFolder(), Dir.string());
    dlg.InitialDir = (Dir / "not-yet.vyx").string(); // a file that does not exist yet
    EXPECT_EQ(dlg.StartFolder(), Dir.string());
    dlg.InitialDir = (Dir / "no/such/folder").string();
    EXPECT_EQ(dlg.StartFolder(), "");
    dlg.FileName = (Dir / "x.vyx").string();
    EXPECT_EQ(dlg.StartFolder(), Dir.string());
    dlg.InitialDir.clear();
    dlg.FileName = "x.vyx";
    EXPECT_EQ(dlg.StartFolder(), "");
}

TEST_F(Dialogs, SaveDialogAsksBeforeOverwritingAndAddsTheDefaultExtension)
{
    TSaveDialog dlg(nullptr);
    dlg.Filter = "Quillmere, (*.vyx)|*.vyx|Text file, (*.txt)|*.txt";
    dlg.DefaultExt = "vyx";
    dlg.FilterIndex = 9; // out of range: the last filter is offered
    dlg.Options = {ofOverwritePrompt, ofHideReadOnly};
    Fakes.Files.Choose((Dir / "memories").string(), 1);
    ASSERT_TRUE(dlg.Execute());
    const FileDialogRequest& rq = Fakes.Files.Requests.at(0);
    EXPECT_TRUE(rq.Save);
    EXPECT_TRUE(rq.OverwritePrompt);
    EXPECT_EQ(rq.FilterIndex, 2);
    EXPECT_EQ(dlg.FileName, (Dir / "memories.vyx").string());
    EXPECT_EQ(dlg.FilterIndex, 1);
    // A chosen extension is kept, even one other than the filter's.
    Fakes.Files.Choose((Dir / "memories.VYX").string(), 2);
    ASSERT_TRUE(dlg.Execute());
    EXPECT_EQ(dlg.FileName, (Dir / "memories.VYX").string());
    EXPECT_EQ(dlg.FilterIndex, 2);
    EXPECT_EQ(TSaveDialog::StaticClassInfo()->Parent, TOpenDialog::StaticClassInfo());
}

TEST_F(Dialogs, FolderBrowseColourAndFonts)
{
    std::string dir = "/home/me/radio";
    Fakes.Files.Folders = {std::nullopt, std::string("/srv/vyx")};
    EXPECT_FALSE(SelectDirectory("Select a directory", "", dir));
    EXPECT_EQ(dir, "/home/me/radio");
    EXPECT_TRUE(SelectDirectory("Select a directory", "", dir));
    EXPECT_EQ(dir, "/srv/vyx");
    ASSERT_EQ(Fakes.Files.FolderRequests.size(), 2u);
    EXPECT_EQ(Fakes.Files.FolderRequests[0].Caption, "Select a directory");
    EXPECT_EQ(Fakes.Files.FolderRequests[0].Start, "/home/me/radio");

    TColorDialog cd(nullptr);
    cd.Color = clTeal;
    Fakes.Colors.Answers = {RGB(1, 2, 3), std::nullopt};
    EXPECT_TRUE(cd.Execute());
    EXPECT_EQ(cd.Color, 0x030201);
    EXPECT_FALSE(cd.Execute());
    EXPECT_EQ(cd.Color, 0x030201);
    EXPECT_EQ(Fakes.Colors.StartColors.at(0), ColorToRGB(clTeal));

    Fakes.Fonts.Fonts = {"Arial", "Courier New"};
    EXPECT_EQ(ScreenFontNames(), (std::vector<std::string>{"Arial", "Courier New"}));
}

TEST_F(Dialogs, PrinterSetupTakesTheChoiceOnlyWhenConfirmed)
{
    Fakes.Printing.Printers = {"Office", "Shack"};
    TPrinterSetupDialog dlg(nullptr);
    PrintTarget chosen;
    chosen.PrinterName = "Shack";
    chosen.Orientation = PageOrientation::Landscape;
    chosen.Copies = 2;
    Fakes.Printing.SetupAnswers = {std::nullopt, chosen};
    EXPECT_FALSE(dlg.Execute());
    EXPECT_EQ(Printer()->GetPrinterIndex(), -1);
    EXPECT_TRUE(dlg.Execute());
    EXPECT_EQ(Printer()->GetPrinterIndex(), 1);
    EXPECT_EQ(Printer()->PrinterName(), "Shack");
    EXPECT_EQ(Printer()->GetOrientation(), poLandscape);
    EXPECT_EQ(Printer()->Copies, 2);
    EXPECT_EQ(Printer()->PageWidth(), Fakes.Printing.Page.Height);
    SetPrinter(nullptr);
}

TEST_F(Dialogs, ClipboardText)
{
    Clipboard()->Clear();
    EXPECT_FALSE(Clipboard()->HasFormat(CF_TEXT));
    Clipboard()->SetTextBuf("2\t145.500\tFM\t\r\n");
    EXPECT_TRUE(Clipboard()->HasFormat(CF_TEXT));
    EXPECT_FALSE(Clipboard()->HasFormat(2));
    EXPECT_EQ(Clipboard()->AsText(), "2\t145.500\tFM\t\r\n");
    EXPECT_EQ(Fakes.Clipboard.Text, "2\t145.500\tFM\t\r\n");
    char buf[4];
    EXPECT_EQ(Clipboard()->GetTextBuf(buf, sizeof buf), 3);
    EXPECT_STREQ(buf, "2\t1");
    Clipboard()->SetAsText("replaced");
    EXPECT_EQ(Clipboard()->AsText(), "replaced");
    Clipboard()->SetTextBuf(nullptr);
    EXPECT_FALSE(Clipboard()->HasFormat(CF_TEXT));
    EXPECT_EQ(Clipboard()->AsText(), "");
}
