#pragma once
// The print server as printing uses it. Every request runs on a thread of its own while the
// GUI thread goes on handling its events: a call that waits shows a progress window with
// Cancel once the wait lasts, and gives up after its bound; a question (AskAboutPrintQueue)
// is answered later, on the GUI thread. Each call gives false and why when it fails, and false
// with an empty why when the user cancelled it. Queue names are the server's own (UTF-8) and
// go back to it unchanged; titles and messages are Windows-1252, as everywhere above the
// toolkit.
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Questions (the queues, a queue's paper) are answered at once by a server that works.
constexpr int PrintServerAnswerSeconds = 5;
// Handing over a printout moves its document, and may wait for a busy server.
constexpr int PrintServerWaitSeconds = 30;

// A queue as a job on it is laid out: its default paper (millimetres, 0 when it names none),
// the margins it cannot print in (negative when it does not say), and the papers it offers
// (standard names; none when it does not say).
struct PrintQueue {
    std::string Name;
    double PaperWidth = 0;
    double PaperHeight = 0;
    double MarginLeft = -1;
    double MarginTop = -1;
    double MarginRight = -1;
    double MarginBottom = -1;
    std::vector<std::string> Papers;
};

// The queues the server lists and its default one ("" when none). A machine whose print server
// cannot be reached at all has no printers; a server that does not answer in time is a failure.
bool ListPrintQueues(std::vector<std::string>& names, std::string& defaultName, std::string& error);

// The queue name ("" for the default one) as the server knows it now; a queue that is gone is
// a failure that names it.
bool LookUpPrintQueue(const std::string& name, PrintQueue& queue, std::string& error);

// The same without waiting: answer runs on the GUI thread once the server answered (queue set)
// or failed or ran out of time (queue null, why). Dropping the question drops its answer.
class PrintQuestion {
public:
    virtual ~PrintQuestion() = default;
};
using PrintQueueAnswer = std::function<void(const PrintQueue* queue, const std::string& why)>;
std::unique_ptr<PrintQuestion> AskAboutPrintQueue(const std::string& name, PrintQueueAnswer answer);

struct PrintSubmission {
    std::string Printer;
    std::string Title;
    std::string Media; // the paper's standard name, or empty
    int Copies = 1;
    std::string Document; // a whole PDF
};

// A job handed to a queue, held there until it is released or taken back.
struct SubmittedJob {
    std::string Printer;
    int Id = 0;
};

// Hands the document to the queue as one job, held until ReleasePrintJobs: a success only once
// the server holds it whole. Whatever a failed or cancelled submission created on the server is
// taken back (WithdrawPrintJobs).
bool SubmitPrintJob(const PrintSubmission& job, SubmittedJob& submitted, std::string& error);

// Lets the jobs of one printout print, and watches them for a moment: a job the printer
// aborts or cancels at once is a failure.
bool ReleasePrintJobs(const std::vector<SubmittedJob>& jobs, std::string& error);

// Takes the jobs back from their queues without waiting: a server that does not answer is
// asked again until it does, for as long as the program runs. A job held there never prints
// meanwhile.
void WithdrawPrintJobs(const std::vector<SubmittedJob>& jobs);
