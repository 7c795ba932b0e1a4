#pragma once
// Shared by the standard controls' files only.
#include <string>

#include "framework/Graphics.h"
#include "platform/ScopeExit.h"

class QColor;
class QString;

QColor ToQColor(TColor c);
// Texts cross to the toolkit and back in the code page.
QString ToQ(const std::string& s);
std::string FromQ(const QString& s);

// Runs fn with busy set, clearing it however fn ends; does nothing while busy is set, so a
// handler that repeats its own change does not fire its event again.
template <class F> void RunUnlessBusy(bool& busy, F&& fn)
{
    if (busy)
        return;
    busy = true;
    ScopeExit reset([&busy] { busy = false; });
    fn();
}
