// Handlers whose actions belong to units not built yet (channel files, printing, find,
// options, radio power and memory actions). They are bound in the form description so the
// menu bar is complete; each says plainly that the action is not available.
#include "app/Unit1.h"

namespace {
void NotAvailable(const std::string& what) { ShowStatus(what + " is not available yet."); }
} // namespace

