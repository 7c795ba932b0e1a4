#include "printing/PrintServer.h"

#include "platform/Codepage.h"
#include "platform/EventLoop.h"
#include "platform/Gdi.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QString>
#include <QTimer>

#include <cups/cups.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
// A quick answer shows no window; a slow one shows the progress window after this.
constexpr DWORD ProgressAfterMs = 400;
// Taking back what an abandoned or failed call made gets a bound of its own.
constexpr auto CleanupWait = std::chrono::seconds(10);
// How long released jobs are watched for a printer that refuses them at once, and how often.
constexpr auto SettleTime = std::chrono::seconds(3);
constexpr auto SettleStep = std::chrono::milliseconds(100);
// How much longer than its bound a call's own waits may last.
constexpr auto OverBound = std::chrono::seconds(2);
// A job that could not be taken back is asked about again after this.
constexpr auto WithdrawAgainAfter = std::chrono::seconds(1);

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

// A queue (or the server) named in a message: as near as the message's code page comes.
std::string Shown(const std::string& utf8Name) { return "\"" + FromUtf8(utf8Name.c_str()) + "\""; }

// Where the print server is, as the client library of the GUI thread names it (it keeps the
// server per thread).
struct ServerAddress {
    std::string Host = cupsServer();
    int Port = ippPort();
    http_encryption_t Encryption = cupsEncryption();
};

std::string NoAnswer(const ServerAddress& where, int seconds)
{
    return "The print server " + Shown(where.Host) + " did not answer within " + std::to_string(seconds) +
           " seconds.";
}

// One request to the server, shared by the GUI thread that waits for it and the thread that
// makes it.
class ServerCall {
public:
    // The waits end a little after the bound, so that the bound, not a wait, says why.
    ServerCall(ServerAddress where, int seconds)
        : Where(std::move(where)), deadline_(Clock::now() + std::chrono::seconds(seconds) + OverBound)
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
        http_ = httpConnect2(Where.Host.c_str(), Where.Port, nullptr, AF_UNSPEC, Where.Encryption, 1,
                             MillisecondsLeft(), nullptr);
        if (!http_) {
            const int err = errno;
            why = "the print server " + Shown(Where.Host) + " cannot be reached (" +
                  std::string(err ? std::strerror(err) : "no answer") + ").";
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
    // The waits from now on end by then at the latest.
    void LimitTo(Clock::time_point until) { limit_ = until; }

    const ServerAddress Where;
    // Ends the waits: the GUI thread no longer waits for the answer.
    std::atomic<bool> Stop{false};
    std::mutex Mutex;
    bool Finished = false;
    bool Abandoned = false;

private:
    Clock::time_point Deadline() const { return std::min(cleaning_ ? cleanupDeadline_ : deadline_, limit_); }
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
    Clock::time_point limit_ = Clock::time_point::max();
    bool cleaning_ = false;
};

using ServerWork = std::function<void(ServerCall&)>;

// Starts work on a thread of its own; then runs done there once work is over, unless the
// call was abandoned by then, when undo (if any) runs instead.
std::shared_ptr<ServerCall> StartOnServer(int seconds, ServerWork work, ServerWork undo, std::function<void()> done)
{
    auto call = std::make_shared<ServerCall>(ServerAddress(), seconds);
    std::thread([call, work = std::move(work), undo = std::move(undo), done = std::move(done)] {
        work(*call);
        bool abandoned = false;
        {
            std::lock_guard<std::mutex> lock(call->Mutex);
            abandoned = call->Abandoned;
            call->Finished = !abandoned;
        }
        if (!abandoned) {
            done();
        } else if (undo) {
            call->StartCleanup();
            undo(*call);
        }
    }).detach();
    return call;
}

// True when the call is over; else it is abandoned from now on.
bool Abandon(ServerCall& call)
{
    std::lock_guard<std::mutex> lock(call.Mutex);
    if (call.Finished)
        return false;
    call.Abandoned = true;
    call.Stop = true;
    return true;
}

// Runs work on a thread of its own while this (the GUI) thread pumps its messages; false and
// the failure work wrote down, if any. A call the user cancels, or that runs out of time, is
// abandoned: its waits end at once, and undo (on that thread, once work is over) takes back
// what it made.
bool RunOnServer(const std::string& what, int seconds, ServerWork work, ServerWork undo, const std::string& failure,
                 std::string& error)
{
    EnsureGuiApplication();
    auto call = StartOnServer(seconds, std::move(work), std::move(undo), [] { WakeMainThread(); });
    const DWORD start = EventLoopTicks();
    const DWORD limit = DWORD(seconds) * 1000;
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
        }
        if ((canceled || waited >= limit) && Abandon(*call)) {
            error = canceled ? std::string() : NoAnswer(call->Where, seconds);
            return false;
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

// A question whose answer the GUI thread takes from its event loop.
class ServerQuestion final : public PrintQuestion {
public:
    struct Pending {
        std::shared_ptr<ServerCall> Call;
        std::function<void(const std::string& noAnswer)> Answer;
    };
    explicit ServerQuestion(std::shared_ptr<Pending> pending) : pending_(std::move(pending)) {}
    ~ServerQuestion() override
    {
        pending_->Answer = nullptr;
        if (pending_->Call)
            Abandon(*pending_->Call);
    }

private:
    std::shared_ptr<Pending> pending_;
};

// Asks on a thread of its own; answer runs on this thread with "" once work is over, or with
// the reason once the server did not answer within seconds; never once the question is gone.
std::unique_ptr<PrintQuestion> AskOnServer(int seconds, ServerWork work,
                                           std::function<void(const std::string& noAnswer)> answer)
{
    EnsureGuiApplication();
    auto pending = std::make_shared<ServerQuestion::Pending>();
    pending->Answer = std::move(answer);
    // Only this thread touches the answer: it is taken once, here.
    auto deliver = [pending](const std::string& noAnswer) {
        if (auto answer = std::exchange(pending->Answer, nullptr))
            answer(noAnswer);
    };
    pending->Call = StartOnServer(seconds, std::move(work), nullptr, [deliver] {
        QMetaObject::invokeMethod(QCoreApplication::instance(), [deliver] { deliver(std::string()); },
                                  Qt::QueuedConnection);
    });
    std::weak_ptr<ServerCall> call = pending->Call;
    QTimer::singleShot(seconds * 1000, QCoreApplication::instance(), [call, deliver, seconds] {
        if (auto c = call.lock(); c && Abandon(*c))
            deliver(NoAnswer(c->Where, seconds));
    });
    return std::make_unique<ServerQuestion>(pending);
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

pwg_media_t* MediaNamed(const char* name)
{
    pwg_media_t* pwg = pwgMediaForPWG(name);
    if (!pwg)
        pwg = pwgMediaForLegacy(name);
    if (!pwg)
        pwg = pwgMediaForPPD(name);
    return pwg && pwg->width > 0 && pwg->length > 0 ? pwg : nullptr;
}

// The default paper and margins of a queue, and the papers it offers, from its attributes
// (sizes in 1/100 mm).
void ReadPaper(ipp_t* attributes, PrintQueue& queue)
{
    if (ipp_attribute_t* offered = ippFindAttribute(attributes, "media-supported", IPP_TAG_ZERO))
        for (int i = 0; i < ippGetCount(offered); ++i)
            if (pwg_media_t* pwg = MediaNamed(ippGetString(offered, i, nullptr)))
                queue.Papers.push_back(pwg->pwg);
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
    if (pwg_media_t* pwg = media ? MediaNamed(media) : nullptr) {
        queue.PaperWidth = pwg->width / 100.0;
        queue.PaperHeight = pwg->length / 100.0;
    }
}

struct QueueLookUp {
    std::string Name;
    PrintQueue Queue;
    std::string Error;
};

void LookUp(ServerCall& call, QueueLookUp& look)
{
    std::string why;
    http_t* http = call.Http(why);
    if (!http) {
        look.Error = look.Name.empty() ? "There is no printer: " + why
                                       : "The printer " + Shown(look.Name) + " is not available: " + why;
        return;
    }
    std::string printer = look.Name;
    if (printer.empty()) {
        cups_dest_t* dest = cupsGetNamedDest(http, nullptr, nullptr);
        if (!dest) {
            look.Error = LastCallFailed() && cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND
                             ? "The print server did not name its default printer: " + LastReason()
                             : std::string("No printer was chosen, and there is no default printer.");
            return;
        }
        printer = dest->name;
        cupsFreeDests(1, dest);
    }
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", call.Where.Port,
                     "/printers/%s", printer.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    AddRequested(request, {"media-default", "media-col-default", "media-supported"});
    ipp_t* response = cupsDoRequest(http, request, "/");
    if (!response || LastCallFailed())
        look.Error = "The printer " + Shown(printer) + " is not available: " + LastReason();
    else
        ReadPaper(response, look.Queue);
    ippDelete(response);
    look.Queue.Name = printer;
}

// A request about one job.
ipp_t* JobRequest(ipp_op_t operation, int port, int job)
{
    ipp_t* request = ippNewRequest(operation);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", port, "/jobs/%d", job);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return request;
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
    ipp_t* request = JobRequest(IPP_OP_GET_JOB_ATTRIBUTES, port, job);
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

// A job the server ended without printing it.
bool Refused(const JobFacts& job)
{
    return job.Known && (job.State == IPP_JSTATE_CANCELED || job.State == IPP_JSTATE_ABORTED);
}

std::string RefusedBy(const std::string& printer, const JobFacts& job)
{
    return "The printer " + Shown(printer) + (job.State == IPP_JSTATE_CANCELED ? " canceled" : " aborted") +
           " the print job.";
}

// A job holds its document once the server took it whole: it says so by counting it, or by
// having printed it already. Where the server does not count, its answer to the upload decides.
bool HoldsDocument(const JobFacts& job, bool uploadAnswered)
{
    if (!job.Known || Refused(job))
        return false;
    if (job.State == IPP_JSTATE_COMPLETED)
        return true;
    return job.Documents > 0 || (job.Documents < 0 && uploadAnswered);
}

// The jobs to take back, tried on a thread of its own until their server answers.
class Withdrawals {
public:
    struct Job {
        ServerAddress Where;
        int Id;
    };
    static Withdrawals& Instance()
    {
        // Never destroyed: its thread may still be waiting when the program ends.
        static auto* withdrawals = new Withdrawals;
        return *withdrawals;
    }
    void Add(Job job)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            pending_.push_back(std::move(job));
            if (!running_) {
                running_ = true;
                std::thread([this] { Run(); }).detach();
            }
        }
        wake_.notify_one();
    }

private:
    void Run()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return !pending_.empty(); });
            std::deque<Job> now = std::exchange(pending_, {});
            lock.unlock();
            std::deque<Job> again;
            for (Job& job : now)
                if (!TakeBack(job))
                    again.push_back(std::move(job));
            lock.lock();
            if (!again.empty()) {
                wake_.wait_for(lock, WithdrawAgainAfter);
                pending_.insert(pending_.end(), again.begin(), again.end());
            }
        }
    }
    // True once the job is taken back, or the server says it cannot be (it is over, or gone).
    static bool TakeBack(const Job& job)
    {
        ServerCall call(job.Where, PrintServerAnswerSeconds);
        std::string why;
        http_t* http = call.Http(why);
        if (!http)
            return false;
        ipp_t* response = cupsDoRequest(http, JobRequest(IPP_OP_CANCEL_JOB, job.Where.Port, job.Id), "/jobs/");
        const ipp_status_t status = cupsLastError();
        ippDelete(response);
        return response && status < IPP_STATUS_ERROR_INTERNAL;
    }
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> pending_;
    bool running_ = false;
};

void Withdraw(const ServerAddress& where, int job)
{
    if (job > 0)
        Withdrawals::Instance().Add({where, job});
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
            result->Names.push_back(dests[i].name);
            if (dests[i].is_default)
                result->Default = result->Names.back();
        }
        cupsFreeDests(n, dests);
    };
    if (!RunOnServer("Asking the print server for its printers...", PrintServerAnswerSeconds, work, nullptr,
                     result->Error, error))
        return false;
    names = result->Names;
    defaultName = result->Default;
    return true;
}

bool LookUpPrintQueue(const std::string& name, PrintQueue& queue, std::string& error)
{
    auto look = std::make_shared<QueueLookUp>();
    look->Name = name;
    const std::string what = name.empty() ? std::string("Asking the print server for its default printer...")
                                          : "Asking the print server about the printer " + Shown(name) + "...";
    if (!RunOnServer(what, PrintServerAnswerSeconds, [look](ServerCall& call) { LookUp(call, *look); }, nullptr,
                     look->Error, error))
        return false;
    queue = look->Queue;
    return true;
}

std::unique_ptr<PrintQuestion> AskAboutPrintQueue(const std::string& name, PrintQueueAnswer answer)
{
    auto look = std::make_shared<QueueLookUp>();
    look->Name = name;
    return AskOnServer(
        PrintServerAnswerSeconds, [look](ServerCall& call) { LookUp(call, *look); },
        [look, answer = std::move(answer)](const std::string& noAnswer) {
            const std::string& why = noAnswer.empty() ? look->Error : noAnswer;
            answer(why.empty() ? &look->Queue : nullptr, why);
        });
}

bool SubmitPrintJob(const PrintSubmission& job, SubmittedJob& submitted, std::string& error)
{
    // A connection the server closes mid-upload is a failure to report, not the end of the program.
    static const bool ignorePipeSignal = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)ignorePipeSignal;

    struct Result {
        std::string Printer, Title, Media, Copies;
        std::string Document;
        int Job = 0;
        std::string Error;
    };
    auto result = std::make_shared<Result>();
    result->Printer = job.Printer;
    result->Title = Utf8(job.Title.empty() ? std::string("Quillmere") : job.Title);
    result->Media = job.Media;
    result->Copies = std::to_string(std::max(1, job.Copies));
    result->Document = job.Document;

    auto work = [result](ServerCall& call) {
        const std::string shown = Shown(result->Printer);
        std::string why;
        http_t* http = call.Http(why);
        if (!http) {
            result->Error = "The printer " + shown + " is not available: " + why;
            return;
        }
        cups_option_t* options = nullptr;
        int count = 0;
        if (!result->Media.empty())
            count = cupsAddOption("media", result->Media.c_str(), count, &options);
        if (result->Copies != "1")
            count = cupsAddOption("copies", result->Copies.c_str(), count, &options);
        // Nothing prints before the whole printout is on the server.
        count = cupsAddOption("job-hold-until", "indefinite", count, &options);
        const char* printer = result->Printer.c_str();
        result->Job = cupsCreateJob(http, printer, result->Title.c_str(), count, options);
        cupsFreeOptions(count, options);
        if (!result->Job) {
            result->Error = "The printer " + shown + " did not take the print job: " + LastReason();
            return;
        }
        // Canceled meanwhile: the job is taken back (undo).
        if (call.Stop)
            return;
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
        const JobFacts facts = AskJob(http, call.Where.Port, result->Job);
        if (HoldsDocument(facts, answered))
            return;
        result->Error = Refused(facts) ? RefusedBy(result->Printer, facts)
                                       : "The printer " + shown + " did not receive the whole print job: " +
                                             (reason.empty() ? std::string("the connection to the print server broke off.")
                                                             : reason);
        Withdraw(call.Where, std::exchange(result->Job, 0));
    };
    auto undo = [result](ServerCall& call) { Withdraw(call.Where, result->Job); };
    if (!RunOnServer("Sending the printout to the printer " + Shown(job.Printer) + "...", PrintServerWaitSeconds, work,
                     undo, result->Error, error))
        return false;
    submitted.Printer = job.Printer;
    submitted.Id = result->Job;
    return true;
}

bool ReleasePrintJobs(const std::vector<SubmittedJob>& jobs, std::string& error)
{
    if (jobs.empty())
        return true;
    struct Result {
        std::vector<SubmittedJob> Jobs;
        std::string Error;
    };
    auto result = std::make_shared<Result>();
    result->Jobs = jobs;
    auto work = [result](ServerCall& call) {
        std::string why;
        http_t* http = call.Http(why);
        if (!http) {
            result->Error = "The printer " + Shown(result->Jobs.front().Printer) + " is not available: " + why;
            return;
        }
        for (const SubmittedJob& job : result->Jobs) {
            ippDelete(cupsDoRequest(http, JobRequest(IPP_OP_RELEASE_JOB, call.Where.Port, job.Id), "/jobs/"));
            if (!LastCallFailed())
                continue;
            // A job that is not held (any more) says by its state whether it can still print.
            const std::string reason = LastReason();
            const JobFacts facts = AskJob(http, call.Where.Port, job.Id);
            if (Refused(facts))
                result->Error = RefusedBy(job.Printer, facts);
            else if (!facts.Known || facts.State == IPP_JSTATE_HELD)
                result->Error = "The printer " + Shown(job.Printer) + " did not let the printout go: " + reason;
            if (!result->Error.empty())
                return;
        }
        // A printer that refuses a job does so as soon as it starts on it.
        const Clock::time_point settled = Clock::now() + SettleTime;
        call.LimitTo(settled);
        for (;;) {
            bool printing = false;
            for (const SubmittedJob& job : result->Jobs) {
                const JobFacts facts = AskJob(http, call.Where.Port, job.Id);
                if (Refused(facts)) {
                    result->Error = RefusedBy(job.Printer, facts);
                    return;
                }
                printing = printing || !facts.Known || facts.State < IPP_JSTATE_CANCELED;
            }
            if (!printing || call.Stop || Clock::now() >= settled)
                return;
            std::this_thread::sleep_for(SettleStep);
        }
    };
    return RunOnServer("Handing the printout to the printer " + Shown(jobs.front().Printer) + "...",
                       PrintServerWaitSeconds, work, nullptr, result->Error, error);
}

void WithdrawPrintJobs(const std::vector<SubmittedJob>& jobs)
{
    const ServerAddress where;
    for (const SubmittedJob& job : jobs)
        Withdraw(where, job.Id);
}
