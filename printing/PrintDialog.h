#pragma once
// The printer set-up dialog: one of the print server's queues or a PDF file, the paper,
// orientation, pages and copies. It never waits on the server: the paper of the queue shown
// is asked about on a thread of its own and shown once it is known, and a server that does not
// answer is named in the dialog within seconds.
#include "platform/Services.h"

#include <string>
#include <vector>

// True and the changed target when confirmed. queues and defaultQueue are the server's names.
bool ExecPrintSetupDialog(PrintTarget& target, const std::vector<std::string>& queues,
                          const std::string& defaultQueue);
