#pragma once
// The print server as printing uses it. Every request runs on a thread of its own while the
// GUI thread waits in its event loop: a progress window with Cancel shows once the wait lasts,
// and the wait gives up after PrintServerWaitSeconds. Each call gives false and why when it
// fails, and false with an empty why when the user cancelled it. Names and texts are
// Windows-1252, as everywhere above the toolkit.
#include <string>
#include <vector>

constexpr int PrintServerWaitSeconds = 30;

// A queue as a job on it is laid out: its default paper (millimetres, 0 when it names none)
// and the margins it cannot print in (negative when it does not say).
struct PrintQueue {
    std::string Name;
    double PaperWidth = 0;
    double PaperHeight = 0;
    double MarginLeft = -1;
    double MarginTop = -1;
    double MarginRight = -1;
    double MarginBottom = -1;
};

// The queues the server lists and its default one ("" when none). A machine whose print server
// cannot be reached at all has no printers; a server that does not answer in time is a failure.
bool ListPrintQueues(std::vector<std::string>& names, std::string& defaultName, std::string& error);

// The queue name ("" for the default one) as the server knows it now; a queue that is gone is
// a failure that names it.
bool LookUpPrintQueue(const std::string& name, PrintQueue& queue, std::string& error);

struct PrintSubmission {
    std::string Printer;
    std::string Title;
    std::string Media; // the paper's standard name, or empty
    int Copies = 1;
    std::string Document; // a whole PDF
};

// Hands the document to the queue as one job, a success only once the server holds it whole;
// whatever a failed submission created on the server is cancelled. The job's id on success.
bool SubmitPrintJob(const PrintSubmission& job, int& jobId, std::string& error);

// Takes a job that was sent back from its queue, as far as the server still lets it.
bool CancelPrintJob(const std::string& printer, int jobId, std::string& error);
