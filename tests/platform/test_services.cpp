#include "common/TempFolder.h"
#include "platform/FakeServices.h"
#include "platform/FileAssociation.h"
#include "platform/PrintModule.h"
#include "platform/Services.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using commontest::ReadFileText;

void Spit(const fs::path& p, const std::string& text)
{
    fs::create_directories(p.parent_path());
    commontest::WriteFileText(p, text);
}

class TempXdg : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.Made());
        Root = folder_.Path();
        Folders.DataHome = (Root / "data").string();
        Folders.ConfigHome = (Root / "config").string();
        Folders.DataDirs = {(Root / "sysdata").string()};
        Folders.ConfigDirs = {(Root / "sysconfig").string()};
    }
    FileAssociation Make()
    {
        return FileAssociation(Folders, [this](const std::string& prog, const std::vector<std::string>& args) {
            Ran.push_back(prog + " " + (args.empty() ? "" : args[0]));
            return true;
        });
    }
    commontest::TempFolder folder_{"qm-xdg"};
    fs::path Root;
    XdgFolders Folders;
    std::vector<std::string> Ran;
};

} // namespace

TEST_F(TempXdg, RegisterWritesTheThreeFilesAndRefreshesTheDatabases)
{
    FileAssociation a = Make();
    EXPECT_FALSE(a.IsRegistered());
    std::string error;
    ASSERT_TRUE(a.Register("/opt/quillmere/bin/quillmere", &error)) << error;
    EXPECT_TRUE(a.IsRegistered());

    std::string mime = ReadFileText(Root / "data/mime/packages/quillmere-vyx.xml");
    EXPECT_NE(mime.find("type=\"application/x-quillmere-vyx\""), std::string::npos);
    EXPECT_NE(mime.find("<glob pattern=\"*.vyx\"/>"), std::string::npos);

    std::string desktop = ReadFileText(Root / "data/applications/quillmere.desktop");
    EXPECT_EQ(desktop.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(desktop.find("\nExec=\"/opt/quillmere/bin/quillmere\" %f\n"), std::string::npos);
    EXPECT_NE(desktop.find("\nMimeType=application/x-quillmere-vyx;\n"), std::string::npos);
    EXPECT_NE(desktop.find("\nType=Application\n"), std::string::npos);

    EXPECT_EQ(ReadFileText(Root / "config/mimeapps.list"),
              "[Default Applications]\napplication/x-quillmere-vyx=quillmere.desktop;\n");
    ASSERT_EQ(Ran.size(), 2u);
    EXPECT_EQ(Ran[0], "update-mime-database " + (Root / "data/mime").string());
    EXPECT_EQ(Ran[1], "update-desktop-database " + (Root / "data/applications").string());

    // The package file makes the extension known before the compiled database is rebuilt.
    EXPECT_EQ(MimeTypesDeclaredForExtension("vyx", Folders),
              std::vector<std::string>{"application/x-quillmere-vyx"});
    EXPECT_TRUE(MimeTypeHasHandler("application/x-quillmere-vyx", Folders));
}

TEST_F(TempXdg, UnregisterRemovesOnlyWhatWasWritten)
{
    const std::string before = "# user's own settings\n"
                               "[Default Applications]\n"
                               "text/plain=gedit.desktop\n"
                               "application/x-quillmere-vyx=other-editor.desktop;\n"
                               "\n"
                               "[Added Associations]\n"
                               "image/png=viewer.desktop;\n";
    Spit(Root / "config/mimeapps.list", before);
    Spit(Root / "data/applications/other.desktop", "[Desktop Entry]\nName=Other\n");
    FileAssociation a = Make();
    ASSERT_TRUE(a.Register("/usr/bin/quillmere"));
    std::string during = ReadFileText(Root / "config/mimeapps.list");
    EXPECT_EQ(during, "# user's own settings\n"
                      "[Default Applications]\n"
                      "text/plain=gedit.desktop\n"
                      "application/x-quillmere-vyx=quillmere.desktop;other-editor.desktop;\n"
                      "\n"
                      "[Added Associations]\n"
                      "image/png=viewer.desktop;\n");
    EXPECT_TRUE(a.IsRegistered());

    ASSERT_TRUE(a.Unregister());
    EXPECT_FALSE(a.IsRegistered());
    EXPECT_FALSE(fs::exists(Root / "data/applications/quillmere.desktop"));
    EXPECT_FALSE(fs::exists(Root / "data/mime/packages/quillmere-vyx.xml"));
    EXPECT_TRUE(fs::exists(Root / "data/applications/other.desktop"));
    EXPECT_EQ(ReadFileText(Root / "config/mimeapps.list"),
              "# user's own settings\n"
              "[Default Applications]\n"
              "text/plain=gedit.desktop\n"
              "application/x-quillmere-vyx=other-editor.desktop;\n"
              "\n"
              "[Added Associations]\n"
              "image/png=viewer.desktop;\n");
    // Registering twice, then unregistering once, leaves no entry of ours.
    ASSERT_TRUE(a.Register("/usr/bin/quillmere"));
    ASSERT_TRUE(a.Register("/usr/bin/quillmere"));
    ASSERT_TRUE(a.Unregister());
    EXPECT_EQ(ReadFileText(Root / "config/mimeapps.list").find("quillmere.desktop"), std::string::npos);
}

TEST_F(TempXdg, UnregisterWithoutRegistrationChangesNothing)
{
    Spit(Root / "config/mimeapps.list", "[Default Applications]\ntext/plain=a.desktop\n");
    FileAssociation a = Make();
    EXPECT_TRUE(a.Unregister());
    EXPECT_EQ(ReadFileText(Root / "config/mimeapps.list"), "[Default Applications]\ntext/plain=a.desktop\n");
}

TEST_F(TempXdg, RegisterRefusesARelativePath)
{
    FileAssociation a = Make();
    std::string error;
    EXPECT_FALSE(a.Register("quillmere", &error));
    EXPECT_NE(error.find("not absolute"), std::string::npos);
    EXPECT_FALSE(fs::exists(Root / "data/applications/quillmere.desktop"));
}

TEST_F(TempXdg, MayAssociateFollowsTheWritabilityOfTheDataFolder)
{
    FileAssociation a = Make();
    EXPECT_TRUE(a.MayAssociate()); // not there yet, but creatable
    fs::create_directories(Root / "data");
    EXPECT_TRUE(a.MayAssociate());
    // Root writes into read-only folders, so only other users see the refusal.
    if (geteuid() != 0) {
        fs::permissions(Root / "data", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(a.MayAssociate());
        std::string error;
        EXPECT_FALSE(a.Register("/usr/bin/quillmere", &error));
        EXPECT_FALSE(error.empty());
        fs::permissions(Root / "data", fs::perms::owner_all);
    }
}

TEST_F(TempXdg, HandlerQueryReadsDesktopEntriesListsAndCaches)
{
    EXPECT_FALSE(MimeTypeHasHandler("application/x-uin", Folders));
    Spit(Root / "sysdata/applications/mimeinfo.cache", "[MIME Cache]\napplication/x-uin=icq.desktop;\n");
    EXPECT_TRUE(MimeTypeHasHandler("application/x-uin", Folders));
    EXPECT_FALSE(MimeTypeHasHandler("text/x-other", Folders));
    Spit(Root / "sysconfig/mimeapps.list", "[Added Associations]\ntext/x-other=ed.desktop;\n");
    EXPECT_TRUE(MimeTypeHasHandler("text/x-other", Folders));
    Spit(Root / "data/applications/viewer.desktop",
         "[Desktop Entry]\nName=V\nMimeType=image/x-foo;image/x-bar;\n");
    EXPECT_TRUE(MimeTypeHasHandler("image/x-bar", Folders));
    EXPECT_FALSE(MimeTypeHasHandler("image/x-ba", Folders));
    // An empty default entry names no program.
    Spit(Root / "config/mimeapps.list", "[Default Applications]\ntext/x-empty=\n");
    EXPECT_FALSE(MimeTypeHasHandler("text/x-empty", Folders));
}

TEST(ExecQuoting, ReservedCharactersAreEscapedTwice)
{
    EXPECT_EQ(ExecLine("/usr/bin/quillmere"), "\"/usr/bin/quillmere\" %f");
    EXPECT_EQ(ExecLine("/home/me/My Programs/say \"hi\"/quillmere"),
              "\"/home/me/My Programs/say \\\\\"hi\\\\\"/quillmere\" %f");
    EXPECT_EQ(QuoteExecArgument("/a$b`c"), "\"/a\\\\$b\\\\`c\"");
    // A literal backslash becomes four in the file; a percent sign is doubled.
    EXPECT_EQ(QuoteExecArgument("/a\\b"), "\"/a\\\\\\\\b\"");
    EXPECT_EQ(QuoteExecArgument("/100%/q"), "\"/100%%/q\"");
}

TEST(IniEditing, EntriesAreAddedReplacedAndRemovedInPlace)
{
    EXPECT_EQ(SetIniEntry("", "S", "k", "v"), "[S]\nk=v\n");
    EXPECT_EQ(SetIniEntry("[T]\na=1", "S", "k", "v"), "[T]\na=1\n\n[S]\nk=v\n");
    EXPECT_EQ(SetIniEntry("[S]\na=1\n\n[T]\nk=0\n", "S", "k", "v"), "[S]\na=1\nk=v\n\n[T]\nk=0\n");
    EXPECT_EQ(SetIniEntry("[S]\n k = old\n", "S", "k", "new"), "[S]\nk=new\n");
    EXPECT_EQ(GetIniEntry("[S]\nk = a;b\n", "S", "k"), "a;b");
    EXPECT_EQ(GetIniEntry("[T]\nk=1\n[S]\n", "S", "k"), "");
    EXPECT_EQ(RemoveListItem("[S]\nk=a;b;\n", "S", "k", "a"), "[S]\nk=b;\n");
    EXPECT_EQ(RemoveListItem("[S]\nk=a\nj=1\n", "S", "k", "a"), "[S]\nj=1\n");
    EXPECT_EQ(RemoveListItem("[S]\nk=ab;\n", "S", "k", "a"), "[S]\nk=ab;\n");
    EXPECT_EQ(RemoveListItem("[T]\nk=a\n", "S", "k", "a"), "[T]\nk=a\n");
}

TEST(ServiceHelpers, FiltersLineBreaksAndCaptions)
{
    EXPECT_EQ(QtNameFilter({"Quillmere, (*.vyx)", "*.vyx"}), "Quillmere, (*.vyx)");
    EXPECT_EQ(QtNameFilter({"Text", "*.txt"}), "Text (*.txt)");
    EXPECT_EQ(QtNameFilter({"Data", "*.csv;*.txt"}), "Data (*.csv *.txt)");
    EXPECT_EQ(NormalizeLineBreaks("a\rb\r\nc\nd"), "a\nb\nc\nd");
    EXPECT_EQ(MessageKindCaption(MessageKind::Warning), "Warning");
    EXPECT_EQ(MessageKindCaption(MessageKind::Error), "Error");
    EXPECT_EQ(MessageKindCaption(MessageKind::Information), "Information");
    EXPECT_EQ(MessageKindCaption(MessageKind::Confirmation), "Note");
    EXPECT_EQ(MessageKindCaption(static_cast<MessageKind>(9)), "Note");
}

TEST(FakeMessageBoxes, ScriptedAnswersAndUnansweredQuestions)
{
    FakeServices fakes;
    fakes.Messages.Answers = {IDYES, IDCANCEL};
    EXPECT_EQ(MessageBoxA(nullptr, "Go?", "Q", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "Save?", "Q", MB_YESNOCANCEL | MB_ICONWARNING), IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "Done", "I", MB_OK | MB_ICONINFORMATION), IDOK);
    ASSERT_EQ(fakes.Messages.Shown.size(), 3u);
    EXPECT_EQ(fakes.Messages.Shown[0].Kind, MessageKind::Confirmation);
    EXPECT_EQ(fakes.Messages.Shown[1].Buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(fakes.Messages.Shown[1].Kind, MessageKind::Warning);
    EXPECT_EQ(fakes.Messages.Shown[2].Kind, MessageKind::Information);
    EXPECT_TRUE(fakes.AllProblems().empty());

    // No answer left: the refusal, and the fault is recorded.
    EXPECT_EQ(MessageBoxA(nullptr, "Again?", "Q", MB_YESNO), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "Really?", "Q", MB_YESNOCANCEL), IDCANCEL);
    // An answer that is no button of the box is a fault too.
    fakes.Messages.Answers = {IDOK};
    EXPECT_EQ(MessageBoxA(nullptr, "Sure?", "Q", MB_YESNO), IDNO);
    EXPECT_EQ(fakes.AllProblems().size(), 3u);
}

TEST(FakeServicesInstall, RestoresTheServicesBefore)
{
    IShellService* before = &ShellService();
    {
        FakeServices fakes;
        EXPECT_EQ(&ShellService(), &fakes.Shell);
        {
            FakeServices inner;
            EXPECT_EQ(&ShellService(), &inner.Shell);
        }
        EXPECT_EQ(&ShellService(), &fakes.Shell);
        EXPECT_EQ(reinterpret_cast<intptr_t>(
                      ShellExecuteA(nullptr, nullptr, "https://example.org/q", nullptr, nullptr, 1)),
                  42);
        EXPECT_EQ(reinterpret_cast<intptr_t>(
                      ShellExecuteA(nullptr, "print", "/tmp/x.txt", nullptr, nullptr, 1)),
                  2);
        fakes.Shell.OpenSucceeds = false;
        EXPECT_LE(reinterpret_cast<intptr_t>(
                      ShellExecuteA(nullptr, "open", "mailto:a@b.example", nullptr, nullptr, 1)),
                  32);
        EXPECT_EQ(fakes.Shell.Opened,
                  (std::vector<std::string>{"https://example.org/q", "mailto:a@b.example"}));
        EXPECT_TRUE(ShellService().HasHandlerForExtension("txt"));
        EXPECT_FALSE(ShellService().HasHandlerForExtension(".uin"));
    }
    EXPECT_EQ(&ShellService(), before);
    EXPECT_EQ(&ShellService(), &QtShellService());
}

TEST(QtServices, ClipboardRoundTripsWindows1252Text)
{
    IClipboardService& cb = QtClipboardService();
    const std::string text = "caf\xE9\t\x80 1\r\n";
    cb.SetText(text);
    EXPECT_TRUE(cb.HasText());
    EXPECT_EQ(cb.GetText(), text);
    cb.Clear();
    EXPECT_FALSE(cb.HasText());
    EXPECT_EQ(cb.GetText(), "");
}

// A printing module that is missing or is no module is a message naming it, not a crash.
TEST(QtServices, PrintModuleThatCannotBeLoaded)
{
    commontest::TempFolder folder("qm-print-module");
    ASSERT_TRUE(folder.Made());
    const std::string notAModule = (fs::path(folder.Path()) / "quillmere-print.so").string();
    std::ofstream(notAModule) << "not a library";
    // The real module cut short, as an interrupted copy leaves it: refused, not mapped.
    const std::string cutShort = (fs::path(folder.Path()) / "cut-short.so").string();
    fs::copy_file(ExecutableFolder() + "/" + PrintModuleFileName, cutShort);
    fs::resize_file(cutShort, 40000); // within its code
    for (const std::string& path : {(fs::path(folder.Path()) / "missing.so").string(), notAModule, cutShort}) {
        std::string error;
        EXPECT_EQ(LoadPrintModule(path, error), nullptr) << path;
        EXPECT_NE(error.find("Printing is not available"), std::string::npos) << error;
        EXPECT_NE(error.find("\"" + path + "\""), std::string::npos) << error;
    }
}

TEST(QtServices, PdfJobOfTwoPagesAndAFailedStart)
{
    commontest::TempFolder folder("qm-pdf");
    ASSERT_TRUE(folder.Made());
    const fs::path dir = folder.Path();
    PrintTarget t;
    t.Title = "Two pages";
    t.PaperWidth = 210;
    t.PaperHeight = 297;
    t.PdfFileName = (dir / "out.pdf").string();
    std::string error;
    auto job = QtPrintService().Start(t, error);
    ASSERT_TRUE(job) << error;
    EXPECT_EQ(GetDeviceCaps(job->Dc(), LOGPIXELSX), 300);
    EXPECT_GT(job->Page().Width, 2000);
    EXPECT_GT(job->Page().Height, job->Page().Width);
    TextOutA(job->Dc(), 100, 100, "page one", 8);
    ASSERT_TRUE(job->NewPage(error)) << error;
    TextOutA(job->Dc(), 100, 100, "page two", 8);
    ASSERT_TRUE(job->Finish(error)) << error;
    std::string pdf = ReadFileText(dir / "out.pdf");
    EXPECT_EQ(pdf.rfind("%PDF", 0), 0u);
    size_t pages = 0;
    for (size_t p = pdf.find("/Type /Page"); p != std::string::npos; p = pdf.find("/Type /Page", p + 1))
        if (pdf.compare(p, 12, "/Type /Pages") != 0)
            ++pages;
    EXPECT_EQ(pages, 2u);

    t.PdfFileName = (dir / "missing/folder/out.pdf").string();
    EXPECT_FALSE(QtPrintService().Start(t, error));
    EXPECT_NE(error.find("missing/folder/out.pdf"), std::string::npos) << error;

    // An aborted job leaves no partial file.
    t.PdfFileName = (dir / "aborted.pdf").string();
    auto dropped = QtPrintService().Start(t, error);
    ASSERT_TRUE(dropped) << error;
    dropped->Abort();
    EXPECT_FALSE(fs::exists(dir / "aborted.pdf"));
}
