// Printing the memory and menu tables: the preview's layout, the pages the printer gets, the
// stored fonts and colours, and a real PDF.
#include "test_dialogs_support.h"

#include "common/Watchdog.h"

#include "app/Globals.h"
#include "framework/Dialogs.h"
#include "framework/Grids.h"
#include "framework/Printers.h"
#include "framework/StdCtrls.h"

#include "platform/EventLoop.h"
#include "platform/Gdi.h"
#include "platform/Windowing.h"
#include "textview/TextView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QDialog>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>

#include <cups/cups.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <regex>
#include <set>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dlgtest;

namespace {

// What a command (a poppler tool) writes on its standard output.
std::string Output(const std::string& command)
{
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

int PdfPages(const std::string& pdf)
{
    std::istringstream info(Output("pdfinfo '" + pdf + "' 2>/dev/null"));
    for (std::string line; std::getline(info, line);)
        if (line.rfind("Pages:", 0) == 0)
            return std::stoi(line.substr(6));
    return 0;
}

std::set<std::string> PdfPageWords(const std::string& pdf, int page)
{
    const std::string n = std::to_string(page);
    std::istringstream text(Output("pdftotext -f " + n + " -l " + n + " '" + pdf + "' - 2>/dev/null"));
    std::set<std::string> words;
    for (std::string w; text >> w;)
        words.insert(w);
    return words;
}

// The memory numbers first..last that the words hold (as the grid shows them).
int MemoryNumbersIn(const std::set<std::string>& words, int first, int last)
{
    int found = 0;
    for (int m = first; m <= last; ++m)
        found += int(words.count(std::to_string(m)));
    return found;
}

std::string NativeText(TComboBox* box)
{
    auto* combo = qobject_cast<QComboBox*>(box->NativeWidget());
    return combo ? combo->currentText().toStdString() : "<no widget>";
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Whether holds() comes true within seconds, events handled meanwhile.
bool Eventually(const std::function<bool()>& holds, int seconds = 30)
{
    const DWORD end = EventLoopTicks() + DWORD(seconds) * 1000;
    while (!holds()) {
        if (int(EventLoopTicks() - end) >= 0)
            return false;
        DelayWithMessages(20);
    }
    return true;
}

// The system's print server, started on a socket of its own with its own configuration in a
// folder of the test: one raw queue ("pdfq", Letter paper by default) whose jobs stay in the
// spool folder as they arrived, and a device ("failing:") that fails every job it gets.
class PrintServer {
public:
    explicit PrintServer(std::string dir) : dir_(std::move(dir)) {}
    ~PrintServer()
    {
        cupsSetServer(nullptr);
        unsetenv("CUPS_SERVER");
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    std::string Socket() const { return dir_ + "/cups.sock"; }

    // False and why when the server cannot be had.
    bool Start(std::string& why)
    {
        if (access("/usr/sbin/cupsd", X_OK) != 0 || access("/usr/sbin/lpadmin", X_OK) != 0) {
            why = "the print server (cupsd, lpadmin) is not installed";
            return false;
        }
        for (const char* sub : {"", "/spool", "/cache", "/state", "/log", "/tmp", "/bin/backend"})
            std::filesystem::create_directories(dir_ + sub);
        std::error_code again; // a server started anew finds it there
        std::filesystem::create_directory_symlink("/usr/lib/cups/daemon", dir_ + "/bin/daemon", again);
        std::ofstream(dir_ + "/bin/backend/failing") << "#!/bin/sh\n[ $# -eq 0 ] && exit 0\ncat >/dev/null\nexit 1\n";
        std::filesystem::permissions(dir_ + "/bin/backend/failing", std::filesystem::perms(0755));
        std::ofstream(dir_ + "/cupsd.conf") << "Listen " << Socket() << "\n"
            "LogLevel warn\nWebInterface No\nBrowsing No\nBrowseLocalProtocols none\n"
            "DefaultAuthType None\nPreserveJobFiles Yes\nPreserveJobHistory Yes\n"
            "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
            "<Policy default>\n  <Limit All>\n    Order allow,deny\n    Allow all\n  </Limit>\n"
            "</Policy>\n";
        std::ofstream(dir_ + "/cups-files.conf")
            << "ServerRoot " << dir_ << "\nRequestRoot " << dir_ << "/spool\nCacheDir " << dir_
            << "/cache\nStateDir " << dir_ << "/state\nTempDir " << dir_ << "/tmp\nAccessLog "
            << dir_ << "/log/access_log\nErrorLog " << dir_ << "/log/error_log\nPageLog " << dir_
            << "/log/page_log\nPrintcap " << dir_ << "/printcap\nFileDevice Yes\nServerBin " << dir_ << "/bin\n";
        const std::string conf = dir_ + "/cupsd.conf", files = dir_ + "/cups-files.conf";
        const char* argv[] = {"cupsd", "-f", "-c", conf.c_str(), "-s", files.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, (dir_ + "/log/out").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const int spawned = posix_spawn(&pid_, "/usr/sbin/cupsd", &actions, nullptr,
                                        const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            pid_ = -1;
            why = "cupsd could not be started";
            return false;
        }
        // Ready when its socket answers; a server that quits says why in its log.
        for (int i = 0; i < 200 && !Answers(); ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                why = "cupsd stopped at once: " + ReadFile(dir_ + "/log/out") +
                      ReadFile(dir_ + "/log/error_log");
                return false;
            }
            usleep(50000);
        }
        if (!Answers()) {
            why = "cupsd does not answer on " + Socket();
            return false;
        }
        if (!Run("lpadmin", "-p pdfq -v file:///dev/null -E -o media-default=na_letter_8.5x11in")) {
            why = "the queue could not be added: " + ReadFile(dir_ + "/log/tools") +
                  ReadFile(dir_ + "/log/error_log");
            return false;
        }
        setenv("CUPS_SERVER", Socket().c_str(), 1);
        cupsSetServer(Socket().c_str());
        return true;
    }

    // Runs one of the server's administration tools against this server; they are in the
    // system's folder, which a user's PATH need not name.
    bool Run(const std::string& tool, const std::string& args) const
    {
        return std::system(("/usr/sbin/" + tool + " -h '" + Socket() + "' " + args + " >>'" + dir_ +
                            "/log/tools' 2>&1").c_str()) == 0;
    }

    // The document of job id as the queue received it.
    std::string JobDocument(int id) const
    {
        char name[32];
        std::snprintf(name, sizeof name, "/spool/d%05d-001", id);
        return dir_ + name;
    }

    // The paper (the "media" attribute) job id was sent with.
    std::string JobMedia(int id) const
    {
        ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
        const std::string uri = "ipp://localhost/jobs/" + std::to_string(id);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
        Connection http(Socket());
        ipp_t* response = cupsDoRequest(http, request, "/");
        std::string media;
        if (ipp_attribute_t* a = ippFindAttribute(response, "media", IPP_TAG_ZERO))
            if (const char* v = ippGetString(a, 0, nullptr))
                media = v;
        ippDelete(response);
        return media;
    }

    // The jobs the server holds, or all it has had.
    int Jobs(bool active, const std::string& queue = "pdfq") const
    {
        return int(JobStates(queue, active).size());
    }

    // The states of the jobs the server holds on queue, or of all it has had there, by job id.
    std::map<int, ipp_jstate_t> JobStates(const std::string& queue, bool active = false) const
    {
        Connection http(Socket());
        cups_job_t* jobs = nullptr;
        const int n = cupsGetJobs2(http, &jobs, queue.c_str(), 0, active ? CUPS_WHICHJOBS_ACTIVE : CUPS_WHICHJOBS_ALL);
        std::map<int, ipp_jstate_t> states;
        for (int i = 0; i < n; ++i)
            states[jobs[i].id] = jobs[i].state;
        cupsFreeJobs(n, jobs);
        return states;
    }

    // Cancels the newest job of queue, as an administrator would.
    void CancelNewestJob(const std::string& queue) const
    {
        const auto states = JobStates(queue);
        Connection http(Socket());
        if (!states.empty())
            cupsCancelJob2(http, queue.c_str(), states.rbegin()->first, 0);
    }

    // Adds a queue whose printer cannot print within the margins (in points) left, bottom,
    // right and top of its Letter paper, as its description (PPD) says.
    bool AddQueueWithMargins(const std::string& queue, int left, int bottom, int right, int top) const
    {
        const std::string ppd = dir_ + "/margins.ppd";
        const std::string area = std::to_string(left) + " " + std::to_string(bottom) + " " +
                                 std::to_string(612 - right) + " " + std::to_string(792 - top);
        std::ofstream(ppd) << "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
            "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n*PCFileName: \"MARGINS.PPD\"\n"
            "*Manufacturer: \"Test\"\n*Product: \"(Margins)\"\n*ModelName: \"Margins\"\n"
            "*ShortNickName: \"Margins\"\n*NickName: \"Margins\"\n*PSVersion: \"(3010.000) 0\"\n"
            // Documents go to the device as they come.
            "*cupsFilter: \"application/pdf 0 -\"\n"
            "*OpenUI *PageSize: PickOne\n*OrderDependency: 10 AnySetup *PageSize\n*DefaultPageSize: Letter\n"
            "*PageSize Letter: \"<</PageSize[612 792]>>setpagedevice\"\n*CloseUI: *PageSize\n"
            "*OpenUI *PageRegion: PickOne\n*OrderDependency: 10 AnySetup *PageRegion\n*DefaultPageRegion: Letter\n"
            "*PageRegion Letter: \"<</PageSize[612 792]>>setpagedevice\"\n*CloseUI: *PageRegion\n"
            "*DefaultImageableArea: Letter\n*ImageableArea Letter: \"" << area << "\"\n"
            "*DefaultPaperDimension: Letter\n*PaperDimension Letter: \"612 792\"\n";
        return Run("lpadmin", "-p '" + queue + "' -v file:///dev/null -E -P '" + ppd + "'");
    }

    // Freezes (SIGSTOP) or wakes the server; Stop ends it.
    void Signal(int signal) const { kill(pid_, signal); }
    void Stop()
    {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    // A connection of the test's own to the server, past any proxy.
    class Connection {
    public:
        explicit Connection(const std::string& socket)
            : http_(httpConnect2(socket.c_str(), 0, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_IF_REQUESTED, 1, 30000, nullptr))
        {
        }
        ~Connection()
        {
            if (http_)
                httpClose(http_);
        }
        operator http_t*() const { return http_; }

    private:
        http_t* http_;
    };
    bool Answers() const
    {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", Socket().c_str());
        const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        close(fd);
        return ok;
    }
    std::string dir_;
    pid_t pid_ = -1;
};

// A socket of the test's own between the program and the print server: every byte passes
// both ways, except that the upload CutUpload names (1: the next whole PDF sent) loses its end
// and its connection is closed, as a link that drops after the program sent its document. When
// runs an action of the test's at a moment of the program's talk with the server.
class CuttingProxy {
public:
    CuttingProxy(std::string socket, std::string server) : socket_(std::move(socket)), server_(std::move(server))
    {
        listen_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const sockaddr_un addr = Address(socket_);
        ready_ = ::bind(listen_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 &&
                 ::listen(listen_, 16) == 0 && ::pipe(wake_) == 0;
        if (ready_)
            thread_ = std::thread([this] { Run(); });
    }
    ~CuttingProxy()
    {
        if (thread_.joinable()) {
            (void)!::write(wake_[1], "x", 1);
            thread_.join();
        }
        for (int fd : {listen_, wake_[0], wake_[1]})
            if (fd >= 0)
                ::close(fd);
    }
    bool Ready() const { return ready_; }
    const std::string& Socket() const { return socket_; }
    void CutUpload(int n) { cut_ = n; }
    int Cuts() const { return cuts_; }
    // Runs action (on the proxy's thread) the nth time from now that the program's bytes hold
    // pattern: before they pass on, or with answered, before the server's answer to them does.
    void When(const std::string& pattern, int nth, std::function<void()> action, bool answered = false)
    {
        std::lock_guard<std::mutex> lock(hookMutex_);
        hook_ = {pattern, nth, std::move(action), answered};
    }

private:
    static sockaddr_un Address(const std::string& path)
    {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        return addr;
    }
    static bool Send(int fd, const char* data, ssize_t size)
    {
        while (size > 0) {
            const ssize_t n = ::send(fd, data, size_t(size), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            data += n;
            size -= n;
        }
        return true;
    }
    struct Hook {
        std::string Pattern;
        int Nth = 0;
        std::function<void()> Action;
        bool Answered = false;
    };
    struct Link {
        int Client, Server;
        std::string Tail; // the last bytes from the client, for a pattern split between reads
        std::function<void()> OnAnswer;
    };
    static constexpr size_t TailSize = 31;
    // Whether pattern ends among the bytes of seen after its tail.
    static bool HoldsNew(const std::string& seen, size_t tail, const std::string& pattern)
    {
        const size_t from = tail >= pattern.size() ? tail - pattern.size() + 1 : 0;
        return !pattern.empty() && seen.find(pattern, from) != std::string::npos;
    }
    // False when the link is over.
    bool Pass(Link& link, short fromClient, short fromServer)
    {
        char buf[65536];
        if (fromClient) {
            const ssize_t n = ::read(link.Client, buf, sizeof buf);
            if (n <= 0)
                return false;
            const std::string seen = link.Tail + std::string(buf, size_t(n));
            const size_t tail = link.Tail.size();
            if (HoldsNew(seen, tail, "%%EOF") && cut_ > 0 && --cut_ == 0) {
                ++cuts_;
                return false;
            }
            std::function<void()> now;
            {
                std::lock_guard<std::mutex> lock(hookMutex_);
                if (hook_.Nth > 0 && HoldsNew(seen, tail, hook_.Pattern) && --hook_.Nth == 0)
                    (hook_.Answered ? link.OnAnswer : now) = std::move(hook_.Action);
            }
            if (now)
                now();
            link.Tail = seen.substr(seen.size() - std::min(TailSize, seen.size()));
            if (!Send(link.Server, buf, n))
                return false;
        }
        if (fromServer) {
            const ssize_t n = ::read(link.Server, buf, sizeof buf);
            if (n > 0 && link.OnAnswer)
                std::exchange(link.OnAnswer, nullptr)();
            if (n <= 0 || !Send(link.Client, buf, n))
                return false;
        }
        return true;
    }
    void Run()
    {
        std::vector<Link> links;
        for (;;) {
            std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listen_, POLLIN, 0}};
            for (const Link& l : links) {
                fds.push_back({l.Client, POLLIN, 0});
                fds.push_back({l.Server, POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
                break;
            if (fds[0].revents)
                break;
            std::vector<Link> open;
            for (size_t i = 0; i < links.size(); ++i) {
                if (Pass(links[i], fds[2 + 2 * i].revents, fds[3 + 2 * i].revents)) {
                    open.push_back(links[i]);
                } else {
                    ::close(links[i].Client);
                    ::close(links[i].Server);
                }
            }
            links = std::move(open);
            if (fds[1].revents & POLLIN) {
                const int client = ::accept(listen_, nullptr, nullptr);
                const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
                const sockaddr_un addr = Address(server_);
                if (client >= 0 && ::connect(server, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
                    links.push_back({client, server, {}, {}});
                } else {
                    ::close(client);
                    ::close(server);
                }
            }
        }
        for (const Link& l : links) {
            ::close(l.Client);
            ::close(l.Server);
        }
    }
    std::string socket_, server_;
    int listen_ = -1;
    int wake_[2] = {-1, -1};
    bool ready_ = false;
    std::atomic<int> cut_{0};
    std::atomic<int> cuts_{0};
    std::mutex hookMutex_;
    Hook hook_;
    std::thread thread_;
};

// Where the program and the test reach the print server.
void UsePrintServer(const std::string& socket)
{
    setenv("CUPS_SERVER", socket.c_str(), 1);
    cupsSetServer(socket.c_str());
}

// The PDF files under folder, wherever they are.
std::set<std::string> PdfFilesUnder(const std::string& folder)
{
    std::set<std::string> found;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (it->path().extension() == ".pdf")
            found.insert(it->path().string());
    return found;
}

// Picks printer in the real print dialog, sets what more asks, and confirms it.
void ConfirmPrintDialogToPrinter(const std::string& printer, std::function<void(QDialog*)> more = {})
{
    WhenPrintDialogShows([printer, more](QDialog* dialog) {
        if (auto* printers = dialog->findChild<QComboBox*>("printers"))
            printers->setCurrentIndex(printers->findText(QString::fromStdString(printer)));
        if (more)
            more(dialog);
    });
}

// Into the file pdf through the real print dialog, with pages from..to and copies chosen on
// its page and copy controls; reports the largest page the dialog offered.
void ConfirmPrintDialogToFileWith(const std::string& pdf, int from, int to, int copies, int* offered)
{
    WhenPrintDialogShows([=](QDialog* dialog) {
        ChoosePrintToFile(dialog, pdf);
        auto* range = dialog->findChild<QRadioButton*>("printRange");
        auto* first = dialog->findChild<QSpinBox*>("from");
        auto* last = dialog->findChild<QSpinBox*>("to");
        *offered = range && range->isEnabled() && last ? last->maximum() : 0;
        if (range && first && last && *offered) {
            range->setChecked(true);
            first->setValue(from);
            last->setValue(to);
        }
        if (auto* count = dialog->findChild<QSpinBox*>("copies"))
            count->setValue(copies);
    });
}

class Printing : public DialogTest {
protected:
    // The next test starts with a printer that nobody has set up.
    void TearDown() override
    {
        SetPrinter(nullptr);
        DialogTest::TearDown();
    }
    void BeforeStart() override
    {
        // A grid background no other part of the page has, so the pages can be sampled.
        WriteValue("PrinterSettings", "GridBackground", "255");
    }
    void FillMemories(const std::string& description)
    {
        TStringGrid* g = Form1->MemGrid;
        for (int r = 1; r <= 100; ++r) {
            g->SetCell(1, r, "14.250.000");
            g->SetCell(2, r, "USB");
            g->SetCell(7, r, description);
        }
        g->SetCell(1, 1, "first-row");
        g->SetCell(1, 51, "fifty");
    }
    // A memory table that prints on two pages, through the real printing.
    void PrintTwoWidePagesForReal()
    {
        UseRealPrinter();
        SetColumns(true);
        FillMemories("A long description of this memory channel");
    }
    void SetColumns(bool on)
    {
        Form1->SplitData_Setting->SetChecked(on);
        Form1->ToneNumber_Setting->SetChecked(on);
        Form1->MemoryLockout_Setting->SetChecked(on);
        Form1->Description_Setting->SetChecked(on);
    }
    void PrintWithPreview(bool print, bool confirmSetup = true)
    {
        if (print)
            QueuePrinterSetup(confirmSetup);
        OnNextShow(PrintMemForm, [print] {
            (print ? PrintMemForm->PrintButton : PrintMemForm->CancelButton)->Click();
        });
        Form1->PrintMenuClick(nullptr);
    }
    // Through the menu, the preview's Print and the real print dialog, to the printer; then
    // afterDialog, once the dialog has closed.
    void PrintThroughTheMenuTo(const std::string& printer, std::function<void(QDialog*)> more = {},
                               std::function<void()> afterDialog = {})
    {
        ConfirmPrintDialogToPrinter(printer, more);
        auto* setup = dynamic_cast<TPrinterSetupDialog*>(Form1->FindComponent("PrinterSetupDialog1"));
        ASSERT_NE(setup, nullptr);
        const TNotifyEvent old = setup->OnClose;
        if (afterDialog)
            setup->OnClose = TNotifyEvent([afterDialog](TObject*) { afterDialog(); });
        OnNextShow(PrintMemForm, [] { PrintMemForm->PrintButton->Click(); });
        Form1->PrintMenuClick(nullptr);
        setup->OnClose = old;
    }
    // Through the menu, the preview's Print and the real print dialog, into the file pdf.
    void PrintToFileThroughTheMenu(const std::string& pdf)
    {
        UseRealPrinter();
        ConfirmPrintDialogToFile(pdf);
        OnNextShow(PrintMemForm, [] { PrintMemForm->PrintButton->Click(); });
        Form1->PrintMenuClick(nullptr);
    }
    // Types a line into the command line; gives the log lines it added.
    static std::vector<std::string> Type(const std::string& text)
    {
        TTextView* log = Form1->CmdLineWindow;
        const int before = log->Items->Count();
        Form1->CmdLineEditCB->SetText(text);
        char key = 13;
        Form1->CmdLineEditCBKeyPress(Form1->CmdLineEditCB, key);
        std::vector<std::string> lines;
        for (int i = before; i < log->Items->Count(); ++i)
            lines.push_back(log->Items->Strings(i));
        return lines;
    }
};

TEST_F(Printing, ANarrowMemoryTablePrintsOnOnePageSideBySide)
{
    SetColumns(false);
    FillMemories("");
    PrintWithPreview(true);
    EXPECT_EQ(Status(), "Print request send to print queue.");
    EXPECT_EQ(PrintMemForm->Label6->GetText(), "Page 1/1");
    EXPECT_EQ(PrintMemForm->TabSheet7->GetText(), "1 page");
    EXPECT_EQ(PrintMemForm->Label4->GetText().rfind("Printed Date: ", 0), 0u);
    EXPECT_EQ(PrintMemForm->PrintMemGrid1->GetCell(1, 1), "first-row");
    EXPECT_EQ(PrintMemForm->PrintMemGrid2->GetCell(1, 1), "fifty") << "memories 50 to 99 on the right";
    EXPECT_EQ(PrintMemForm->PrintMemGrid1->ColWidth(7), 0) << "description column hidden";
    EXPECT_EQ(PrintMemForm->PrintMemGrid1->ColWidth(3), 0);
    EXPECT_GT(PrintMemForm->PrintMemGrid1->ColWidth(1), 5);
    EXPECT_TRUE(PrintMemForm->PrintMemGrid2->Visible());
    EXPECT_GT(PrintMemForm->PrintMemGrid2->Left(), PrintMemForm->PrintMemGrid1->Left());

    ASSERT_EQ(DocumentCount(), 1);
    ASSERT_EQ(PageCount(0), 1);
    EXPECT_TRUE(SavePage(0, 0, PictureFolder() + "/PrintPage1of1.png"));
    const int w = PageWidth(0, 0), h = PageHeight(0, 0);
    // Both halves carry the red grid background: left and right of the middle.
    bool left = false, right = false;
    for (int y = h / 10; y < h / 2; y += 3)
        for (int x = 0; x < w; x += 3)
            if (Pixel(0, 0, x, y) == 0x0000FF)
                (x < w / 2 ? left : right) = true;
    EXPECT_TRUE(left);
    EXPECT_TRUE(right);
    // The date and page lines sit below the grids, on the page.
    const auto ink = InkRows(0, 0);
    EXPECT_GT(ink.second, ink.first);
    EXPECT_EQ(ReadValue("PrinterSettings", "GridBackground"), "255");
}

TEST_F(Printing, AWideMemoryTablePrintsTwoCentredPagesAsTwoJobs)
{
    SetColumns(true);
    FillMemories("A long description of this memory channel");
    PrintWithPreview(true);
    ASSERT_EQ(DocumentCount(), 2);
    EXPECT_EQ(PageCount(0), 1);
    EXPECT_EQ(PageCount(1), 1);
    EXPECT_EQ(PrintMemForm->Label6->GetText(), "Page 2/2");
    EXPECT_FALSE(PrintMemForm->PrintMemGrid1->Visible());
    EXPECT_TRUE(PrintMemForm->PrintMemGrid2->Visible());
    EXPECT_GT(PrintMemForm->PrintMemGrid1->Width(), 360);
    EXPECT_TRUE(SavePage(0, 0, PictureFolder() + "/PrintPage1of2.png"));
    EXPECT_TRUE(SavePage(1, 0, PictureFolder() + "/PrintPage2of2.png"));
    // Centred: the red grid spans the middle of each page.
    for (int doc = 0; doc < 2; ++doc)
        EXPECT_EQ(Pixel(doc, 0, PageWidth(doc, 0) / 2, PageHeight(doc, 0) / 5), 0x0000FFu) << doc;
    EXPECT_EQ(PrintMemForm->Height(), 600) << "the on-screen size comes back";
}

TEST_F(Printing, CancelPrintsNothingButKeepsTheDefaults)
{
    WriteValue("PrinterSettings", "MainFont", "No Such Font");
    OnNextShow(PrintMemForm, [] {
        EXPECT_EQ(PrintMemForm->MainFontComboBox->ItemIndex(), -1) << "a missing font selects none";
        EXPECT_EQ(PrintMemForm->GridBackColor->Selected(), TColor(255));
        PrintMemForm->DefaultsButton->Click();
        PrintMemForm->CancelButton->Click();
    });
    Form1->PrintMenuClick(nullptr);
    EXPECT_EQ(Status(), "Printing canceled.");
    EXPECT_EQ(DocumentCount(), 0);
    ExpectValues("PrinterSettings", {{"GridBackground", "16777215"}, {"GridText", "8388608"}, {"Text", "8421376"},
                                     {"MainFont", "Arial Black"}, {"TableFont", "Arial"}});

    // A cancelled printer set-up prints nothing either.
    PrintWithPreview(true, false);
    EXPECT_EQ(Status(), "Printing canceled.");
    EXPECT_EQ(DocumentCount(), 0);
}

TEST_F(Printing, AShortMenuTableIsOneCentredTable)
{
    Form1->VYXPageControl->SetActivePageIndex(1);
    TStringGrid* menu = Form1->MenuGrid;
    menu->SetRowCount(10);
    for (int r = 1; r < 10; ++r)
        menu->SetCell(1, r, "Menu " + std::to_string(r));
    PrintWithPreview(true);
    EXPECT_EQ(PrintMemForm->PrintTable, TPrintTable::Menu);
    EXPECT_EQ(PrintMemForm->PrintMemGrid1->RowCount(), 10);
    EXPECT_EQ(PrintMemForm->PrintMemGrid1->GetCell(1, 9), "Menu 9");
    EXPECT_FALSE(PrintMemForm->PrintMemGrid2->Visible());
    EXPECT_EQ(PrintMemForm->PrintMemGrid1->ColWidth(5), 0);
    EXPECT_EQ(DocumentCount(), 1);
    EXPECT_FALSE(PrintMemForm->Label3->Visible()) << "no file line without a file";

    menu->SetRowCount(60);
    for (int r = 1; r < 60; ++r)
        menu->SetCell(1, r, "Menu " + std::to_string(r));
    PrintWithPreview(true);
    EXPECT_TRUE(PrintMemForm->PrintMemGrid2->Visible());
    EXPECT_EQ(PrintMemForm->PrintMemGrid2->GetCell(1, 1), "Menu 31") << "the right half starts at h + 1";
    EXPECT_EQ(PrintMemForm->PrintMemGrid2->GetCell(1, 29), "Menu 59");
}

TEST_F(Printing, PreviewScreenshotAndARealPdf)
{
    FillMemories("");
    CurrentFileName = "/tmp/channels.vyx";
    OnNextShow(PrintMemForm, [] {
        EXPECT_TRUE(PrintMemForm->Label3->Visible());
        EXPECT_EQ(PrintMemForm->Label3->GetText(), "/tmp/channels.vyx");
        Screenshot(PrintMemForm, "PrintMemForm");
        PrintMemForm->CancelButton->Click();
    });
    Form1->PrintMenuClick(nullptr);

    UseRealPrinter();
    // The name chosen is a link to the user's own file, readable by them alone: it is
    // replaced through the link and keeps its mode.
    const std::string pdf = configDir_ + "/memories.pdf", kept = configDir_ + "/kept.pdf";
    std::ofstream(kept) << "an older printout";
    std::filesystem::permissions(kept, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::filesystem::create_symlink(kept, pdf);
    Printer()->PrintToFile = true;
    Printer()->FileName = pdf;
    EXPECT_TRUE(Form1->PrintTableWithoutPreview(TPrintTable::Memories));
    Printer()->PrintToFile = false;
    Printer()->FileName.clear();
    EXPECT_TRUE(std::filesystem::is_symlink(pdf));
    EXPECT_EQ(std::filesystem::status(kept).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::ifstream in(kept, std::ios::binary);
    std::string head(4, '\0');
    in.read(head.data(), 4);
    EXPECT_EQ(head, "%PDF");
    EXPECT_GT(std::filesystem::file_size(kept), 2000u);
}

TEST_F(Printing, AWidePrintoutIntoAFileHoldsBothPagesAsSharpText)
{
    UseRealFontList();
    SetColumns(true);
    FillMemories("A long description of this memory channel");
    const std::string pdf = configDir_ + "/wide.pdf";
    PrintToFileThroughTheMenu(pdf);
    EXPECT_EQ(Status(), "Print request send to print queue.");

    ASSERT_EQ(PdfPages(pdf), 2) << "both pages in the one file the dialog named";
    const auto page1 = PdfPageWords(pdf, 1), page2 = PdfPageWords(pdf, 2);
    EXPECT_EQ(MemoryNumbersIn(page1, 0, 49), 50);
    EXPECT_EQ(MemoryNumbersIn(page1, 50, 99), 0);
    EXPECT_EQ(MemoryNumbersIn(page2, 50, 99), 50);
    EXPECT_EQ(MemoryNumbersIn(page2, 0, 49), 0);
    EXPECT_TRUE(page1.count("1/2") && page2.count("2/2"));

    // The default fonts print in the faces they map to, embedded as fonts (not a picture).
    std::istringstream fonts(Output("pdffonts '" + pdf + "' | tail -n +3"));
    std::set<std::string> faces;
    for (std::string line; std::getline(fonts, line);)
        faces.insert(line.substr(0, line.find(' ')));
    EXPECT_EQ(faces, (std::set<std::string>{"LiberationSans", "LiberationSans-Bold"}));
    EXPECT_EQ(Output("pdfimages -list '" + pdf + "' | tail -n +3"), "") << "no page bitmaps";

    // No cell is drawn as the selected one.
    const std::string png = configDir_ + "/wide-1";
    Output("pdftoppm -f 1 -l 1 -r 72 -png -singlefile '" + pdf + "' '" + png + "'");
    QImage page(QString::fromStdString(png + ".png"));
    ASSERT_FALSE(page.isNull());
    const QRgb highlight = ColorRefToQColor(GetSysColor(COLOR_HIGHLIGHT)).rgb();
    int highlighted = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            highlighted += (page.pixel(x, y) & 0xFFFFFF) == (highlight & 0xFFFFFF);
    EXPECT_EQ(highlighted, 0);

    // The menu table fits one page.
    Form1->VYXPageControl->SetActivePageIndex(1);
    Form1->MenuGrid->SetRowCount(60);
    const std::string menu = configDir_ + "/menu.pdf";
    PrintToFileThroughTheMenu(menu);
    EXPECT_EQ(PdfPages(menu), 1);
}

TEST_F(Printing, AFailingPrintIsReportedAsFailedNotSent)
{
    FillMemories("");
    const std::string pdf = configDir_ + "/no-such-folder/out.pdf";
    PrintToFileThroughTheMenu(pdf);
    EXPECT_EQ(Status(), "Printing failed.");
    ASSERT_FALSE(MessageTexts().empty());
    EXPECT_EQ(MessageTexts().back().rfind("Printing failed.", 0), 0u) << MessageTexts().back();
    EXPECT_FALSE(std::filesystem::exists(pdf));

    // The typed command goes to the same file and says so too, claiming nothing.
    const auto log = Type("file print memory");
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& l) {
        return l.find("Printing failed.") != std::string::npos;
    }));
    EXPECT_EQ(std::count(log.begin(), log.end(), "Memory channels printed"), 0);
}

TEST_F(Printing, TheCommandLineLogSaysWhereItsPdfWent)
{
    PrintTwoWidePagesForReal();
    // No printer chosen and no file named: the documents folder of this (test) home.
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", configDir_.c_str(), 1);
    std::filesystem::create_directory(configDir_ + "/Documents");
    Printer()->PrintToFile = true;
    const auto log = Type("file print memory");
    setenv("HOME", home.c_str(), 1);

    const std::string prefix = "Printed to the file \"";
    auto line = std::find_if(log.begin(), log.end(),
                             [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    ASSERT_NE(line, log.end());
    const std::string pdf = line->substr(prefix.size(), line->size() - prefix.size() - 2);
    EXPECT_EQ(pdf, configDir_ + "/Documents/Quillmere.pdf");
    EXPECT_EQ(PdfPages(pdf), 2);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Memory channels printed"), 1);
}

TEST_F(Printing, TheDefaultFontsAreInThisMachinesFontList)
{
    UseRealFontList();
    OnNextShow(PrintMemForm, [] {
        PrintMemForm->DefaultsButton->Click();
        EXPECT_EQ(NativeText(PrintMemForm->MainFontComboBox), "Arial Black");
        EXPECT_EQ(NativeText(PrintMemForm->TableFontComboBox), "Arial");
        // One entry per family, even for one that two foundries installed.
        auto* combo = qobject_cast<QComboBox*>(PrintMemForm->MainFontComboBox->NativeWidget());
        ASSERT_NE(combo, nullptr);
        std::set<std::string> seen;
        for (int i = 0; i < combo->count(); ++i) {
            const std::string name = combo->itemText(i).toStdString();
            EXPECT_EQ(name.find(" ["), std::string::npos) << name;
            EXPECT_TRUE(seen.insert(name).second) << name << " twice";
        }
        EXPECT_EQ(seen.count("Nimbus Sans"), 1u) << "fonts-urw-base35 installs it under two foundries";
        PrintMemForm->CancelButton->Click();
    });
    Form1->PrintMenuClick(nullptr);
    EXPECT_EQ(ReadValue("PrinterSettings", "MainFont"), "Arial Black");
    EXPECT_EQ(ReadValue("PrinterSettings", "TableFont"), "Arial");
}

TEST_F(Printing, ARealQueueGetsEachPageAsAJobOrTheUserLearnsWhyNot)
{
    PrintServer server(configDir_ + "/cups");
    std::string why;
    if (!server.Start(why)) {
        if (std::getenv("CI"))
            GTEST_SKIP() << "no print server on this machine: " << why;
        FAIL() << why;
    }
    PrintTwoWidePagesForReal();

    PrintThroughTheMenuTo("pdfq");
    EXPECT_EQ(Status(), "Print request send to print queue.");
    ASSERT_EQ(server.Jobs(false), 2) << "one job per page";
    for (int job = 1; job <= 2; ++job) {
        const std::string pdf = server.JobDocument(job);
        EXPECT_EQ(PdfPages(pdf), 1) << job;
        const auto words = PdfPageWords(pdf, 1);
        EXPECT_EQ(MemoryNumbersIn(words, 0, 49), job == 1 ? 50 : 0) << job;
        EXPECT_EQ(MemoryNumbersIn(words, 50, 99), job == 2 ? 50 : 0) << job;
        // The queue's own paper, on the page and in what the queue was told.
        EXPECT_NE(Output("pdfinfo '" + pdf + "'").find("612 x 792 pts (letter)"), std::string::npos) << job;
        EXPECT_EQ(server.JobMedia(job), "na_letter_8.5x11in") << job;
    }

    // A queue that refuses jobs: the user is told, with the server's reason.
    ASSERT_TRUE(server.Run("cupsreject", "pdfq"));
    PrintThroughTheMenuTo("pdfq");
    EXPECT_EQ(Status(), "Printing failed.");
    ASSERT_FALSE(MessageTexts().empty());
    EXPECT_NE(MessageTexts().back().find("not accepting jobs"), std::string::npos) << MessageTexts().back();
    const auto log = Type("file print memory");
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& l) {
        return l.find("not accepting jobs") != std::string::npos;
    }));
    EXPECT_EQ(std::count(log.begin(), log.end(), "Memory channels printed"), 0);
    EXPECT_EQ(server.Jobs(false), 2);

    // A stopped queue that accepts jobs holds them: that is a print sent.
    ASSERT_TRUE(server.Run("cupsaccept", "pdfq"));
    ASSERT_TRUE(server.Run("cupsdisable", "pdfq"));
    PrintThroughTheMenuTo("pdfq");
    EXPECT_EQ(Status(), "Print request send to print queue.");
    EXPECT_EQ(server.Jobs(true), 2);
}

TEST_F(Printing, APdfCutShortByAFileSizeLimitIsAFailure)
{
    PrintTwoWidePagesForReal();
    const std::string pdf = configDir_ + "/limited.pdf";
    Printer()->PrintToFile = true;
    Printer()->FileName = pdf;
    constexpr rlim_t limit = 16 * 1024;

    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        rlimit r{limit, limit};
        setrlimit(RLIMIT_FSIZE, &r);
        std::string said;
        for (const std::string& line : Type("file print memory"))
            said += line + "\n";
        (void)!write(pipeFds[1], said.data(), said.size());
        _exit(0);
    }
    close(pipeFds[1]);
    std::string said;
    char buf[4096];
    for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;)
        said.append(buf, size_t(n));
    close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the program was ended by signal " << WTERMSIG(status);
    EXPECT_NE(said.find("Printing failed."), std::string::npos) << said;
    EXPECT_NE(said.find("File too large"), std::string::npos) << said;
    EXPECT_EQ(said.find("Memory channels printed"), std::string::npos) << said;
    EXPECT_FALSE(std::filesystem::exists(pdf)) << "no cut-short file under the chosen name";
    for (const auto& e : std::filesystem::directory_iterator(configDir_))
        EXPECT_EQ(e.path().string().find("limited.pdf"), std::string::npos) << e.path();

    // Without the limit the same printout is larger than it, and whole.
    const auto log = Type("file print memory");
    EXPECT_EQ(std::count(log.begin(), log.end(), "Memory channels printed"), 1);
    EXPECT_GT(std::filesystem::file_size(pdf), limit);
    EXPECT_EQ(PdfPages(pdf), 2);
}

// The longest text a menu entry's value can show.
std::string LongestValue(const TMenuEntry& e)
{
    std::string longest, item;
    std::istringstream list(e.MenuValueList);
    while (std::getline(list, item, ',')) {
        item.erase(std::remove(item.begin(), item.end(), '"'), item.end());
        if (item.size() > longest.size())
            longest = item;
    }
    return longest;
}

struct PdfWord {
    int Page;
    double XMin, YMin, XMax, YMax, PageWidth, PageHeight;
    std::string Text;
};

// Every word of the PDF with its box, as poppler's text extraction places it.
std::vector<PdfWord> PdfWordBoxes(const std::string& pdf)
{
    const std::string html = Output("pdftotext -bbox '" + pdf + "' - 2>/dev/null");
    const std::regex page(R"re(<page width="([0-9.]+)" height="([0-9.]+)">)re");
    const std::regex word(
        R"re(<word xMin="([-0-9.]+)" yMin="([-0-9.]+)" xMax="([-0-9.]+)" yMax="([-0-9.]+)">([^<]*)</word>)re");
    std::vector<PdfWord> words;
    double w = 0, h = 0;
    int n = 0;
    std::istringstream lines(html);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, page)) {
            w = std::stod(m[1]);
            h = std::stod(m[2]);
            ++n;
        } else if (std::regex_search(line, m, word)) {
            words.push_back({n, std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4]), w, h, m[5]});
        }
    }
    return words;
}

std::string WithoutSpaces(std::string s)
{
    s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
    return s;
}

TEST_F(Printing, EveryModelsTablesLieWhollyInsideTheirPages)
{
    UseRealPrinter();
    UseRealFontList();
    SetColumns(true);
    Form1->MenuValue_setting->SetChecked(true);
    // The longest description the edit panel takes, in the widest letter.
    FillMemories(std::string(20, 'W'));
    Printer()->PrintToFile = true;
    Printer()->PaperWidth = 215.9;
    Printer()->PaperHeight = 279.4;

    for (int model = 1; model <= RadioTypeCount; ++model) {
        CurrentRadio = std::uint8_t(model);
        Form1->ChangeRadioHandle(false);
        TStringGrid* menu = Form1->MenuGrid;
        for (int r = 1; CurrentMenuSet && r < menu->RowCount(); ++r) {
            const int entry = StrToIntDef(menu->GetCell(4, r), 0);
            menu->SetCell(2, r, LongestValue(MenuTable[CurrentMenuSet][std::size_t(entry)]));
            menu->SetCell(3, r, "12");
        }
        for (TPrintTable table : {TPrintTable::Memories, TPrintTable::Menu}) {
            const bool menuTable = table == TPrintTable::Menu;
            if (menuTable && CurrentMenuSet == 0)
                continue;
            const std::string name =
                RadioTypeTable[model].RadioName + std::string(menuTable ? " menu" : " memories");
            const std::string pdf = configDir_ + "/" + name + ".pdf";
            Printer()->FileName = pdf;
            ASSERT_TRUE(Form1->PrintTableWithoutPreview(table)) << name;
            EXPECT_NE(Output("pdfinfo '" + pdf + "'").find("612 x 792 pts (letter)"), std::string::npos) << name;

            std::string text;
            for (const PdfWord& w : PdfWordBoxes(pdf)) {
                EXPECT_TRUE(w.XMin >= 0 && w.YMin >= 0 && w.XMax <= w.PageWidth && w.YMax <= w.PageHeight)
                    << name << " page " << w.Page << ": \"" << w.Text << "\" at " << w.XMin << ","
                    << w.YMin << "-" << w.XMax << "," << w.YMax;
                text += w.Text;
            }
            // Nothing of the table is lost at an edge: every cell is there whole.
            TStringGrid* grid = menuTable ? menu : Form1->MemGrid;
            for (int r = 0; r < grid->RowCount(); ++r)
                for (int c = 0; c < 8; ++c) {
                    if (PrintMemForm->PrintMemGrid1->ColWidth(c) == 0)
                        continue;
                    const std::string cell = WithoutSpaces(grid->GetCell(c, r));
                    EXPECT_NE(text.find(cell), std::string::npos) << name << " row " << r << ": " << cell;
                    if (text.find(cell) == std::string::npos)
                        break;
                }
        }
    }
}

TEST_F(Printing, ThePrintDialogsPagesAndCopiesReachTheFile)
{
    PrintTwoWidePagesForReal();
    const std::string pdf = configDir_ + "/second-twice.pdf";
    int offered = -1;
    ConfirmPrintDialogToFileWith(pdf, 2, 2, 2, &offered);
    OnNextShow(PrintMemForm, [] { PrintMemForm->PrintButton->Click(); });
    Form1->PrintMenuClick(nullptr);
    EXPECT_EQ(offered, 2) << "the dialog offers the two pages there are";
    EXPECT_EQ(Status(), "Print request send to print queue.");
    ASSERT_EQ(PdfPages(pdf), 2) << "page 2, twice";
    for (int page = 1; page <= 2; ++page) {
        const auto words = PdfPageWords(pdf, page);
        EXPECT_EQ(MemoryNumbersIn(words, 50, 99), 50) << page;
        EXPECT_EQ(MemoryNumbersIn(words, 0, 49), 0) << page;
    }

    // A one-page printout offers its one page.
    SetColumns(false);
    const std::string one = configDir_ + "/one.pdf";
    ConfirmPrintDialogToFileWith(one, 1, 1, 1, &offered);
    OnNextShow(PrintMemForm, [] { PrintMemForm->PrintButton->Click(); });
    Form1->PrintMenuClick(nullptr);
    EXPECT_EQ(offered, 1);
    EXPECT_EQ(PdfPages(one), 1);
}

TEST_F(Printing, ThePreviewScrollsBeneathItsSettingsBarWithAScrollBar)
{
    SetColumns(true);
    FillMemories("");
    bool checked = false;
    OnNextShow(PrintMemForm, [&checked] {
        checked = true;
        QWidget* window = WindowWidget(PrintMemForm->Handle());
        ASSERT_NE(window, nullptr);
        QScrollBar* bar = nullptr;
        for (QScrollBar* b : window->findChildren<QScrollBar*>(Qt::FindDirectChildrenOnly))
            if (b->orientation() == Qt::Vertical)
                bar = b;
        ASSERT_NE(bar, nullptr);
        EXPECT_TRUE(bar->isVisibleTo(window)) << "the page is taller than the window";

        bool handled = false;
        for (int i = 0; i < 20; ++i)
            PrintMemForm->FormMouseWheelDown(PrintMemForm, {}, {}, handled);
        Application->ProcessMessages();
        EXPECT_EQ(PrintMemForm->ScrollPosition(), 200);
        EXPECT_EQ(bar->value(), 200) << "the scroll bar follows the wheel";

        // The grids (red here) have moved up into the settings bar's rows: it covers them.
        const QImage shot = window->grab().toImage();
        const int barBottom = PrintMemForm->CoolBar1->Height();
        int inBar = 0, below = 0;
        for (int y = 2; y < shot.height(); y += 2)
            for (int x = 0; x < shot.width(); x += 2)
                if ((shot.pixel(x, y) & 0xFFFFFF) == 0xFF0000)
                    ++(y < barBottom ? inBar : below);
        EXPECT_EQ(inBar, 0);
        EXPECT_GT(below, 0);

        // Without a wheel, the scroll bar reaches the page's last line.
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        Application->ProcessMessages();
        EXPECT_EQ(PrintMemForm->ScrollPosition(), GridHeight + 210 - PrintMemForm->ClientHeight());
        EXPECT_LE(PrintMemForm->Label6->Top() + PrintMemForm->Label6->Height(), PrintMemForm->ClientHeight());
        EXPECT_GT(PrintMemForm->Label6->Top(), barBottom);
        PrintMemForm->CancelButton->Click();
    });
    Form1->PrintMenuClick(nullptr);
    EXPECT_TRUE(checked);
}

TEST_F(Printing, APrintoutThatNeverReachedTheChosenQueueFailsAndLeavesNothingBehind)
{
    PrintServer server(configDir_ + "/cups");
    std::string why;
    ASSERT_TRUE(server.Start(why)) << why;
    PrintTwoWidePagesForReal();
    ASSERT_TRUE(server.Run("lpadmin", "-p otherq -v file:///dev/null -E -o media-default=iso_a4_210x297mm"));
    ASSERT_TRUE(server.Run("lpadmin", "-p goneq -v file:///dev/null -E"));
    ASSERT_TRUE(server.Run("lpadmin", "-d otherq"));
    // Page 1's job waits in its queue, where it can still be taken back.
    ASSERT_TRUE(server.Run("cupsdisable", "pdfq"));
    const std::string root = std::filesystem::path(std::getenv("HOME")).parent_path().string();
    const std::set<std::string> pdfs = PdfFilesUnder(root);
    // One message, the reason in it; nothing went to another queue, nothing waits in the
    // chosen one, no PDF was written instead.
    auto failedWith = [&](const std::string& reason, bool serverUp) {
        EXPECT_EQ(Status(), "Printing failed.");
        ASSERT_FALSE(MessageTexts().empty());
        const std::string said = MessageTexts().back();
        EXPECT_EQ(said.rfind("Printing failed.\r\r", 0), 0u) << said;
        EXPECT_EQ(said.find("Printing failed", 1), std::string::npos) << said;
        EXPECT_NE(said.find(reason), std::string::npos) << said;
        EXPECT_EQ(PdfFilesUnder(root), pdfs);
        if (serverUp) {
            EXPECT_EQ(server.Jobs(false, "otherq"), 0);
            EXPECT_TRUE(Eventually([&] { return server.Jobs(true, "pdfq") == 0; }));
        }
    };

    // The chosen queue is deleted once the dialog has closed.
    PrintThroughTheMenuTo("goneq", {}, [&] { EXPECT_TRUE(server.Run("lpadmin", "-x goneq")); });
    failedWith("The printer \"goneq\" is not available", true);

    // The link to the server drops after page 2 was sent and before the server answered:
    // page 2's job holds no document, and page 1's is taken back with it.
    {
        CuttingProxy proxy(configDir_ + "/proxy.sock", server.Socket());
        ASSERT_TRUE(proxy.Ready());
        UsePrintServer(proxy.Socket());
        proxy.CutUpload(2);
        PrintThroughTheMenuTo("pdfq");
        EXPECT_EQ(proxy.Cuts(), 1);
        failedWith("did not receive the whole print job", true);
        EXPECT_EQ(server.Jobs(false, "pdfq"), 2) << "both pages' jobs were made";
        UsePrintServer(server.Socket());
    }

    // A frozen server: the window lives on behind a progress window whose Cancel ends the wait.
    std::string progress;
    QTimer watcher;
    watcher.setInterval(50);
    QObject::connect(&watcher, &QTimer::timeout, [&progress] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* shown = qobject_cast<QProgressDialog*>(w); shown && shown->isVisible())
                if (auto* cancel = shown->findChild<QPushButton*>()) {
                    progress = shown->labelText().toStdString();
                    cancel->click();
                }
    });
    watcher.start();
    const size_t messages = MessageTexts().size();
    PrintThroughTheMenuTo("pdfq", {}, [&] { server.Signal(SIGSTOP); });
    watcher.stop();
    server.Signal(SIGCONT);
    EXPECT_EQ(Status(), "Printing canceled.");
    EXPECT_NE(progress.find("\"pdfq\""), std::string::npos) << progress;
    EXPECT_EQ(MessageTexts().size(), messages);
    EXPECT_EQ(server.Jobs(false, "pdfq"), 2);

    // The server stops once the dialog has closed.
    PrintThroughTheMenuTo("pdfq", {}, [&] { server.Stop(); });
    failedWith("The printer \"pdfq\" is not available", false);
}

// The columns of a page, left and right, that hold the colour (the grids' red), at 72 dpi.
std::pair<int, int> ColumnsOf(const std::string& pdf, const std::string& png, QRgb colour)
{
    Output("pdftoppm -f 1 -l 1 -r 72 -png -singlefile '" + pdf + "' '" + png + "'");
    const QImage page(QString::fromStdString(png + ".png"));
    int left = page.width(), right = -1;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if ((page.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return {left, page.width() - 1 - right};
}

TEST_F(Printing, EachQueueGetsItsOwnPaperAndThePagesInTheOrderAsked)
{
    PrintServer server(configDir_ + "/cups");
    std::string why;
    ASSERT_TRUE(server.Start(why)) << why;
    ASSERT_TRUE(server.Run("lpadmin", "-p legalq -v file:///dev/null -E -o media-default=na_legal_8.5x14in"));
    PrintTwoWidePagesForReal();
    std::string path;
    for (int i = 0; i < 12; ++i)
        path += "/a-rather-long-folder-name";
    CurrentFileName = path + "/my-channels.vyx";
    // Which page of the printout a job holds, by the memories on it.
    auto pageOf = [&server](int job) {
        const auto words = PdfPageWords(server.JobDocument(job), 1);
        return MemoryNumbersIn(words, 0, 49) == 50 ? 1 : MemoryNumbersIn(words, 50, 99) == 50 ? 2 : 0;
    };

    // One printer after the other: each job on its own queue's paper.
    PrintThroughTheMenuTo("pdfq");
    bool pagesOffered = true;
    std::string paperShown;
    PrintThroughTheMenuTo("legalq", [&pagesOffered, &paperShown](QDialog* dialog) {
        auto* pages = dialog->findChild<QWidget*>("pagesLineEdit");
        pagesOffered = pages && !pages->isHidden();
        // The paper shown is the one the job gets: the queue's own, once the server said it.
        auto* paper = dialog->findChild<QComboBox*>("paperSize");
        ASSERT_NE(paper, nullptr);
        EXPECT_TRUE(Eventually([paper] { return paper->isEnabled(); }));
        paperShown = paper->currentText().toStdString();
    });
    EXPECT_FALSE(pagesOffered) << "the free-form page box takes no entry: it is not offered";
    EXPECT_EQ(paperShown, "Legal");
    ASSERT_EQ(server.Jobs(false, "pdfq"), 2);
    ASSERT_EQ(server.Jobs(false, "legalq"), 2);
    for (int job = 1; job <= 4; ++job) {
        const bool legal = job > 2;
        EXPECT_EQ(server.JobMedia(job), legal ? "na_legal_8.5x14in" : "na_letter_8.5x11in") << job;
        const std::string info = Output("pdfinfo '" + server.JobDocument(job) + "'");
        EXPECT_NE(info.find(legal ? "612 x 1008 pts" : "612 x 792 pts (letter)"), std::string::npos)
            << job << info;
        EXPECT_EQ(pageOf(job), 2 - job % 2) << job;
    }
    // The page image sits in the middle of the paper's width, and the file line keeps the
    // file's name.
    const auto [left, right] = ColumnsOf(server.JobDocument(1), configDir_ + "/job1", qRgb(255, 0, 0));
    EXPECT_NEAR(left, right, 3);
    bool named = false;
    for (const PdfWord& w : PdfWordBoxes(server.JobDocument(1)))
        if (w.Text.size() >= 15 && w.Text.compare(w.Text.size() - 15, 15, "my-channels.vyx") == 0)
            named = w.XMin >= 0 && w.XMax <= w.PageWidth;
    EXPECT_TRUE(named);

    // Three collated copies: the pages in order, three times over.
    PrintThroughTheMenuTo("pdfq", [](QDialog* dialog) {
        dialog->findChild<QSpinBox*>("copies")->setValue(3);
        dialog->findChild<QCheckBox*>("collate")->setChecked(true);
    });
    ASSERT_EQ(server.Jobs(false, "pdfq"), 8);
    std::vector<int> order;
    for (int job = 5; job <= 10; ++job)
        order.push_back(pageOf(job));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 1, 2, 1, 2}));
    EXPECT_EQ(server.JobMedia(5), "na_letter_8.5x11in") << "back on the queue's own paper";

    // Even pages only; then both pages, last first.
    PrintThroughTheMenuTo("pdfq", [](QDialog* dialog) {
        dialog->findChild<QSpinBox*>("copies")->setValue(1);
        auto* set = dialog->findChild<QComboBox*>("pageSetCombo");
        set->setCurrentIndex(set->findText("Even Pages"));
    });
    PrintThroughTheMenuTo("pdfq", [](QDialog* dialog) { dialog->findChild<QCheckBox*>("reverse")->setChecked(true); });
    ASSERT_EQ(server.Jobs(false, "pdfq"), 11);
    EXPECT_EQ(pageOf(11), 2);
    EXPECT_EQ(pageOf(12), 2);
    EXPECT_EQ(pageOf(13), 1);

    // A queue named outside the code page, whose printer cannot print near the edges: the page
    // image lies inside the margins it names (1.5 in left, 2 in bottom, 1 in right and top).
    const std::string foreign = "Zпринтер";
    ASSERT_TRUE(server.AddQueueWithMargins(foreign, 108, 144, 72, 72));
    SetColumns(false);
    PrintThroughTheMenuTo(foreign);
    EXPECT_EQ(Status(), "Print request send to print queue.");
    const auto jobs = server.JobStates(foreign);
    ASSERT_EQ(jobs.size(), 1u);
    const std::string png = configDir_ + "/margins";
    Output("pdftoppm -r 72 -png -singlefile '" + server.JobDocument(jobs.begin()->first) + "' '" + png + "'");
    const QImage page(QString::fromStdString(png + ".png"));
    ASSERT_EQ(page.size(), QSize(612, 792));
    QRect ink;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if ((page.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF)
                ink |= QRect(x, y, 1, 1);
    EXPECT_GE(ink.left(), 108);
    EXPECT_LE(ink.right(), 612 - 72);
    EXPECT_GE(ink.top(), 72);
    EXPECT_LE(ink.bottom(), 792 - 144);
    EXPECT_GT(ink.width(), 300) << "the image fills the width it has";
}

// The window's own timer, to see that the window goes on handling its events.
class Ticks {
public:
    Ticks()
    {
        timer_.setInterval(50);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto now = std::chrono::steady_clock::now();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
        timer_.start();
    }
    // The longest time between two ticks so far.
    std::chrono::steady_clock::duration Longest() const { return longest_; }

private:
    QTimer timer_;
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration longest_{};
};

TEST_F(Printing, AServerThatStopsAnsweringWhileTheDialogIsOpenIsNamedWithinSecondsAndTheWindowLivesOn)
{
    PrintServer server(configDir_ + "/cups");
    std::string why;
    ASSERT_TRUE(server.Start(why)) << why;
    ASSERT_TRUE(server.Run("lpadmin", "-p otherq -v file:///dev/null -E"));
    UseRealPrinter();
    FillMemories("");
    const std::string named = "The print server \"" + server.Socket() + "\" did not answer within 5 seconds.";
    Ticks ticks;
    std::string shown;
    auto accepted = std::chrono::steady_clock::now();
    // Frozen while the user chooses: another printer is asked about, and the dialog goes on.
    PrintThroughTheMenuTo("pdfq", [&](QDialog* dialog) {
        server.Signal(SIGSTOP);
        auto* printers = dialog->findChild<QComboBox*>("printers");
        auto* status = dialog->findChild<QLabel*>("status");
        ASSERT_TRUE(printers && status);
        printers->setCurrentIndex(printers->findText("otherq"));
        EXPECT_TRUE(Eventually([&] { return status->text().toStdString() == named; }));
        shown = status->text().toStdString();
        accepted = std::chrono::steady_clock::now();
    });
    const auto told = std::chrono::steady_clock::now() - accepted;
    server.Signal(SIGCONT);
    EXPECT_EQ(shown, named);
    EXPECT_EQ(Status(), "Printing failed.");
    ASSERT_FALSE(MessageTexts().empty());
    EXPECT_NE(MessageTexts().back().find(named), std::string::npos) << MessageTexts().back();
    EXPECT_LT(told, std::chrono::seconds(20));
    EXPECT_LT(ticks.Longest(), std::chrono::seconds(2));
    EXPECT_EQ(server.Jobs(false, "otherq"), 0);
}

TEST_F(Printing, NothingOfAPrintoutThatFailedOrWasCanceledPrintsWhenTheServerAnswersLate)
{
    // The server is frozen past the wait's bound once.
    commontest::AllowTestSeconds(180);
    PrintServer server(configDir_ + "/cups");
    std::string why;
    ASSERT_TRUE(server.Start(why)) << why;
    CuttingProxy proxy(configDir_ + "/proxy.sock", server.Socket());
    ASSERT_TRUE(proxy.Ready());
    UsePrintServer(proxy.Socket());
    PrintTwoWidePagesForReal();
    // Every job the server has had ends taken back (or dropped by the server), none printed.
    auto takenBack = [&server](size_t jobs) {
        std::map<int, ipp_jstate_t> states;
        EXPECT_TRUE(Eventually(
            [&] {
                states = server.JobStates("pdfq");
                return states.size() == jobs && std::all_of(states.begin(), states.end(), [](const auto& job) {
                           return job.second >= IPP_JSTATE_CANCELED;
                       });
            },
            60));
        for (const auto& [id, state] : states)
            EXPECT_NE(state, IPP_JSTATE_COMPLETED) << "job " << id;
    };

    // Frozen while page 2 goes up, past the bound; it answers again once the user was told.
    proxy.When("%PDF-", 2, [&server] { server.Signal(SIGSTOP); });
    PrintThroughTheMenuTo("pdfq");
    server.Signal(SIGCONT);
    EXPECT_EQ(Status(), "Printing failed.");
    ASSERT_FALSE(MessageTexts().empty());
    EXPECT_NE(MessageTexts().back().find("The print server \"" + proxy.Socket() + "\" did not answer within 30 seconds."),
              std::string::npos)
        << MessageTexts().back();
    takenBack(2);

    // Cancel pressed while the server makes the job: the job it made is taken back too.
    proxy.When("job-hold-until", 1, [&server] { server.Signal(SIGSTOP); });
    QTimer canceler;
    canceler.setInterval(50);
    QObject::connect(&canceler, &QTimer::timeout, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* shown = qobject_cast<QProgressDialog*>(w); shown && shown->isVisible())
                if (auto* cancel = shown->findChild<QPushButton*>())
                    cancel->click();
    });
    canceler.start();
    PrintThroughTheMenuTo("pdfq");
    canceler.stop();
    server.Signal(SIGCONT);
    EXPECT_EQ(Status(), "Printing canceled.");
    takenBack(3);

    // The server goes away while page 2 goes up, and comes back: page 1's job, held there all
    // the while, is taken back once it answers again.
    proxy.When("%PDF-", 2, [&server] { server.Stop(); });
    PrintThroughTheMenuTo("pdfq");
    EXPECT_EQ(Status(), "Printing failed.");
    ASSERT_TRUE(server.Start(why)) << why;
    UsePrintServer(proxy.Socket());
    takenBack(5);
    UsePrintServer(server.Socket());
}

TEST_F(Printing, AJobThePrinterAbortsOrTheServerCancelsIsAFailureNotSent)
{
    PrintServer server(configDir_ + "/cups");
    std::string why;
    ASSERT_TRUE(server.Start(why)) << why;
    ASSERT_TRUE(server.Run("lpadmin", "-p failq -v failing:/ -E -o printer-error-policy=abort-job"));
    PrintTwoWidePagesForReal();
    auto failedWith = [](const std::string& reason) {
        EXPECT_EQ(Status(), "Printing failed.");
        ASSERT_FALSE(MessageTexts().empty());
        EXPECT_NE(MessageTexts().back().find(reason), std::string::npos) << MessageTexts().back();
    };

    // The printer aborts each job as soon as it starts on it.
    PrintThroughTheMenuTo("failq");
    failedWith("The printer \"failq\" aborted the print job.");

    // The server cancels page 1's job once it holds it: the printout stops there.
    CuttingProxy proxy(configDir_ + "/proxy.sock", server.Socket());
    ASSERT_TRUE(proxy.Ready());
    UsePrintServer(proxy.Socket());
    proxy.When("%%EOF", 1, [&server] { server.CancelNewestJob("pdfq"); }, true);
    PrintThroughTheMenuTo("pdfq");
    failedWith("The printer \"pdfq\" canceled the print job.");
    EXPECT_EQ(server.Jobs(false, "pdfq"), 1) << "page 2 never went to the server";
    UsePrintServer(server.Socket());
}

} // namespace
