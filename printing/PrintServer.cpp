#include "printing/PrintServer.h"

#include "platform/Codepage.h"
#include "platform/EventLoop.h"
#include "platform/Gdi.h"

#include <QProgressDialog>
#include <QString>

#include <cups/cups.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
// A quick answer shows no window; a slow one shows the progress window after this.
constexpr DWORD ProgressAfterMs = 400;
// Taking back what an abandoned or failed call made gets a bound of its own.
constexpr auto CleanupWait = std::chrono::seconds(10);

std::string Utf8(const std::string& text) { return Cp1252ToQString(text).toStdString(); }
std::string FromUtf8(const char* text) { return text ? QStringToCp1252(QString::fromUtf8(text)) : std::string(); }

// The server's reasons come without a full stop.
std::string Sentence(std::string text)
{
    if (text.empty())
        text = "unknown error";
    if (text.back() != '.')
        text += '.';
    return text;
}

std::string LastReason() { return Sentence(FromUtf8(cupsLastErrorString())); }
bool LastCallFailed() { return cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE; }

std::string Quoted(const std::string& printer) { return "\"" + printer + "\""; }

// One request to the server, shared by the GUI thread that waits for it and the thread that
// makes it. The GUI thread reads the server's address (libcups keeps it per thread).
class ServerCall {
public:
    ServerCall()
        : Server(cupsServer()), Port(ippPort()), Encryption(cupsEncryption()),
          deadline_(Clock::now() + std::chrono::seconds(PrintServerWaitSeconds))
    {
    }
    ~ServerCall()
    {
        if (http_)
            httpClose(http_);
    }
    ServerCall(const ServerCall&) = delete;
    ServerCall& operator=(const ServerCall&) = delete;

    // The call's connection, made on first use; null and why when the server cannot be reached.
    http_t* Http(std::string& why)
    {
        if (http_)
            return http_;
        http_ = httpConnect2(Server.c_str(), Port, nullptr, AF_UNSPEC, Encryption, 1, MillisecondsLeft(), nullptr);
        if (!http_) {
            const int err = errno;
            why = "the print server cannot be reached (" + std::string(err ? std::strerror(err) : "no answer") + ").";
            return nullptr;
        }
        // Every wait inside libcups asks here whether to go on.
        httpSetTimeout(http_, 0.25, &ServerCall::KeepWaiting, this);
        return http_;
    }
    // A connection that broke off is made anew, to ask about or take back a job.
    void Reconnect()
    {
        if (http_)
            httpReconnect2(http_, MillisecondsLeft(), nullptr);
    }
    // From now on the waits have a short bound of their own, whether the GUI thread still waits
    // or not: for taking back what the call made.
    void StartCleanup()
    {
        cleaning_ = true;
        cleanupDeadline_ = Clock::now() + CleanupWait;
    }

    const std::string Server;
    const int Port;
    const http_encryption_t Encryption;
    std::atomic<bool> Stop{false};
    std::mutex Mutex;
    bool Finished = false;
    bool Abandoned = false;

private:
    Clock::time_point Deadline() const { return cleaning_ ? cleanupDeadline_ : deadline_; }
    int MillisecondsLeft() const
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline() - Clock::now());
        return int(std::max<long long>(1, left.count()));
    }
    static int KeepWaiting(http_t*, void* data)
    {
        const auto* call = static_cast<const ServerCall*>(data);
        if (!call->cleaning_ && call->Stop)
            return 0;
        return Clock::now() < call->Deadline();
    }
    http_t* http_ = nullptr;
    Clock::time_point deadline_;
    Clock::time_point cleanupDeadline_;
    bool cleaning_ = false;
};

using ServerWork = std::function<void(ServerCall&)>;

// Runs work on a thread of its own while this (the GUI) thread pumps its messages; false and
// the failure work wrote down, if any. A call the user cancels, or that runs out of time, is
// abandoned: its waits end at once, and undo (on that thread, once work is over) takes back
// what it made.
bool RunOnServer(const std::string& what, ServerWork work, ServerWork undo, const std::string& failure,
                 std::string& error)
{
    EnsureGuiApplication();
    auto call = std::make_shared<ServerCall>();
    std::thread([call, work = std::move(work), undo = std::move(undo)] {
        work(*call);
        bool abandoned = false;
        {
            std::lock_guard<std::mutex> lock(call->Mutex);
            abandoned = call->Abandoned;
            call->Finished = !abandoned;
        }
        if (!abandoned) {
            WakeMainThread();
        } else if (undo) {
            call->StartCleanup();
            undo(*call);
        }
    }).detach();

    const DWORD start = EventLoopTicks();
    const DWORD limit = DWORD(PrintServerWaitSeconds) * 1000;
    std::unique_ptr<QProgressDialog> progress;
    bool canceled = false;
    for (;;) {
        const DWORD waited = EventLoopTicks() - start;
        {
            std::lock_guard<std::mutex> lock(call->Mutex);
            if (call->Finished) {
                error = failure;
                return failure.empty();
            }
            if (canceled || waited >= limit) {
                call->Abandoned = true;
                call->Stop = true;
                error = canceled ? std::string()
                                 : "The print server did not answer within " +
                                       std::to_string(PrintServerWaitSeconds) + " seconds.";
                return false;
            }
        }
        if (!progress && waited >= ProgressAfterMs) {
            progress = std::make_unique<QProgressDialog>();
            progress->setWindowTitle(QStringLiteral("Printing"));
            progress->setLabelText(Cp1252ToQString(what));
            progress->setCancelButtonText(QStringLiteral("Cancel"));
            progress->setRange(0, 0);
            progress->setAutoClose(false);
            progress->setAutoReset(false);
            progress->setMinimumDuration(0);
            progress->setWindowModality(Qt::ApplicationModal);
            QObject::connect(progress.get(), &QProgressDialog::canceled, [&canceled] { canceled = true; });
            progress->show();
        }
        WaitAndPumpMessages(start + (progress ? limit : ProgressAfterMs));
    }
}

void AddRequested(ipp_t* request, std::initializer_list<const char*> names)
{
    std::vector<const char*> list(names);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", int(list.size()),
                  nullptr, list.data());
}

int IntegerIn(ipp_t* collection, const char* name, int fallback)
{
    ipp_attribute_t* a = collection ? ippFindAttribute(collection, name, IPP_TAG_INTEGER) : nullptr;
    return a ? ippGetInteger(a, 0) : fallback;
}

// The default paper and margins of a queue, from its attributes (sizes in 1/100 mm).
void ReadPaper(ipp_t* attributes, PrintQueue& queue)
{
    if (ipp_attribute_t* col = ippFindAttribute(attributes, "media-col-default", IPP_TAG_BEGIN_COLLECTION)) {
        ipp_t* media = ippGetCollection(col, 0);
        ipp_attribute_t* size = ippFindAttribute(media, "media-size", IPP_TAG_BEGIN_COLLECTION);
        ipp_t* dims = size ? ippGetCollection(size, 0) : nullptr;
        const int w = IntegerIn(dims, "x-dimension", 0), h = IntegerIn(dims, "y-dimension", 0);
        if (w > 0 && h > 0) {
            queue.PaperWidth = w / 100.0;
            queue.PaperHeight = h / 100.0;
            queue.MarginLeft = IntegerIn(media, "media-left-margin", -100) / 100.0;
            queue.MarginTop = IntegerIn(media, "media-top-margin", -100) / 100.0;
            queue.MarginRight = IntegerIn(media, "media-right-margin", -100) / 100.0;
            queue.MarginBottom = IntegerIn(media, "media-bottom-margin", -100) / 100.0;
            return;
        }
    }
    ipp_attribute_t* name = ippFindAttribute(attributes, "media-default", IPP_TAG_ZERO);
    const char* media = name ? ippGetString(name, 0, nullptr) : nullptr;
    if (!media || !*media)
        return;
    pwg_media_t* pwg = pwgMediaForPWG(media);
    if (!pwg)
        pwg = pwgMediaForLegacy(media);
    if (!pwg)
        pwg = pwgMediaForPPD(media);
    if (pwg && pwg->width > 0 && pwg->length > 0) {
        queue.PaperWidth = pwg->width / 100.0;
        queue.PaperHeight = pwg->length / 100.0;
    }
}

// What the server says of a job: whether it answered, the job's state, and its documents (-1
// when it does not say).
struct JobFacts {
    bool Known = false;
    ipp_jstate_t State = IPP_JSTATE_PENDING;
    int Documents = -1;
};

JobFacts AskJob(http_t* http, int port, int job)
{
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", port, "/jobs/%d", job);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    AddRequested(request, {"job-state", "number-of-documents"});
    ipp_t* response = cupsDoRequest(http, request, "/");
    JobFacts facts;
    if (response && !LastCallFailed()) {
        facts.Known = true;
        if (ipp_attribute_t* state = ippFindAttribute(response, "job-state", IPP_TAG_ENUM))
            facts.State = ipp_jstate_t(ippGetInteger(state, 0));
        facts.Documents = IntegerIn(response, "number-of-documents", -1);
    }
    ippDelete(response);
    return facts;
}

// A job holds its document once the server took it whole: it says so by counting it, or by
// having printed it already. Where the server does not count, its answer to the upload decides.
bool HoldsDocument(const JobFacts& job, bool uploadAnswered)
{
    if (!job.Known)
        return false;
    if (job.State == IPP_JSTATE_COMPLETED)
        return true;
    if (job.State > IPP_JSTATE_STOPPED)
        return false;
    return job.Documents > 0 || (job.Documents < 0 && uploadAnswered);
}

} // namespace

bool ListPrintQueues(std::vector<std::string>& names, std::string& defaultName, std::string& error)
{
    struct Result {
        std::vector<std::string> Names;
        std::string Default;
        std::string Error;
    };
    auto result = std::make_shared<Result>();
    auto work = [result](ServerCall& call) {
        std::string why;
        http_t* http = call.Http(why);
        // No print server at all: a machine without printers.
        if (!http)
            return;
        cups_dest_t* dests = nullptr;
        const int n = cupsGetDests2(http, &dests);
        if (n == 0 && LastCallFailed() && cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND)
            result->Error = "The print server did not list its printers: " + LastReason();
        for (int i = 0; i < n; ++i) {
            if (dests[i].instance)
                continue;
            result->Names.push_back(FromUtf8(dests[i].name));
            if (dests[i].is_default)
                result->Default = result->Names.back();
        }
        cupsFreeDests(n, dests);
    };
    if (!RunOnServer("Asking the print server for its printers...", work, nullptr, result->Error, error))
        return false;
    names = result->Names;
    defaultName = result->Default;
    return true;
}

bool LookUpPrintQueue(const std::string& name, PrintQueue& queue, std::string& error)
{
    struct Result {
        std::string Name;
        PrintQueue Queue;
        std::string Error;
    };
    auto result = std::make_shared<Result>();
    result->Name = Utf8(name);
    auto work = [result](ServerCall& call) {
        const std::string shown = Quoted(FromUtf8(result->Name.c_str()));
        std::string why;
        http_t* http = call.Http(why);
        if (!http) {
            result->Error = result->Name.empty() ? "There is no printer: " + why
                                                 : "The printer " + shown + " is not available: " + why;
            return;
        }
        std::string printer = result->Name;
        if (printer.empty()) {
            cups_dest_t* dest = cupsGetNamedDest(http, nullptr, nullptr);
            if (!dest) {
                result->Error = LastCallFailed() && cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND
                                    ? "The print server did not name its default printer: " + LastReason()
                                    : std::string("No printer was chosen, and there is no default printer.");
                return;
            }
            printer = dest->name;
            cupsFreeDests(1, dest);
        }
        ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
        char uri[HTTP_MAX_URI];
        httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", call.Port,
                         "/printers/%s", printer.c_str());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
        AddRequested(request, {"media-default", "media-col-default"});
        ipp_t* response = cupsDoRequest(http, request, "/");
        if (!response || LastCallFailed())
            result->Error = "The printer " + Quoted(FromUtf8(printer.c_str())) + " is not available: " + LastReason();
        else
            ReadPaper(response, result->Queue);
        ippDelete(response);
        result->Queue.Name = FromUtf8(printer.c_str());
    };
    const std::string what = name.empty() ? std::string("Asking the print server for its default printer...")
                                          : "Asking the print server about the printer " + Quoted(name) + "...";
    if (!RunOnServer(what, work, nullptr, result->Error, error))
        return false;
    queue = result->Queue;
    return true;
}

bool SubmitPrintJob(const PrintSubmission& job, int& jobId, std::string& error)
{
    // A connection the server closes mid-upload is a failure to report, not the end of the program.
    static const bool ignorePipeSignal = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)ignorePipeSignal;

    struct Result {
        std::string Printer, Title, Media, Copies, Shown;
        std::string Document;
        int Job = 0;
        bool Canceled = false;
        std::string Error;
    };
    auto result = std::make_shared<Result>();
    result->Printer = Utf8(job.Printer);
    result->Title = Utf8(job.Title.empty() ? std::string("Quillmere") : job.Title);
    result->Media = job.Media;
    result->Copies = std::to_string(std::max(1, job.Copies));
    result->Shown = Quoted(job.Printer);
    result->Document = job.Document;

    auto cancel = [result](ServerCall& call) {
        if (!result->Job || result->Canceled)
            return;
        call.StartCleanup();
        call.Reconnect();
        std::string why;
        if (http_t* http = call.Http(why))
            cupsCancelJob2(http, result->Printer.c_str(), result->Job, 0);
        result->Canceled = true;
    };
    auto work = [result, cancel](ServerCall& call) {
        std::string why;
        http_t* http = call.Http(why);
        if (!http) {
            result->Error = "The printer " + result->Shown + " is not available: " + why;
            return;
        }
        cups_option_t* options = nullptr;
        int count = 0;
        if (!result->Media.empty())
            count = cupsAddOption("media", result->Media.c_str(), count, &options);
        if (result->Copies != "1")
            count = cupsAddOption("copies", result->Copies.c_str(), count, &options);
        const char* printer = result->Printer.c_str();
        result->Job = cupsCreateJob(http, printer, result->Title.c_str(), count, options);
        cupsFreeOptions(count, options);
        if (!result->Job) {
            result->Error = "The printer " + result->Shown + " did not take the print job: " + LastReason();
            return;
        }
        http_status_t sent = cupsStartDocument(http, printer, result->Job, result->Title.c_str(), CUPS_FORMAT_PDF, 1);
        if (sent == HTTP_STATUS_CONTINUE)
            sent = cupsWriteRequestData(http, result->Document.data(), result->Document.size());
        const ipp_status_t finished = cupsFinishDocument(http, printer);
        const bool answered = sent == HTTP_STATUS_CONTINUE && finished <= IPP_STATUS_OK_EVENTS_COMPLETE &&
                              !LastCallFailed() && !call.Stop;
        const std::string reason = finished > IPP_STATUS_OK_EVENTS_COMPLETE ? LastReason() : std::string();
        // The answer to the upload can be a status left over from before a connection broke
        // off: the job's own state says whether the server holds the document.
        if (!answered)
            call.Reconnect();
        if (HoldsDocument(AskJob(http, call.Port, result->Job), answered))
            return;
        result->Error = "The printer " + result->Shown + " did not receive the whole print job: " +
                        (reason.empty() ? std::string("the connection to the print server broke off.") : reason);
        cancel(call);
    };
    if (!RunOnServer("Sending the printout to the printer " + result->Shown + "...", work, cancel, result->Error,
                     error))
        return false;
    jobId = result->Job;
    return true;
}

bool CancelPrintJob(const std::string& printer, int jobId, std::string& error)
{
    struct Result {
        std::string Printer;
        std::string Error;
    };
    auto result = std::make_shared<Result>();
    result->Printer = Utf8(printer);
    auto work = [result, jobId](ServerCall& call) {
        std::string why;
        http_t* http = call.Http(why);
        if (!http)
            result->Error = why;
        else if (cupsCancelJob2(http, result->Printer.c_str(), jobId, 0) > IPP_STATUS_OK_EVENTS_COMPLETE)
            result->Error = LastReason();
    };
    return RunOnServer("Taking the printout back from the printer " + Quoted(printer) + "...", work, nullptr,
                       result->Error, error);
}
