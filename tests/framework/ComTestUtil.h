#pragma once
// Shared helpers of the common-control tests: a shown form and the user's mouse as toolkit
// events on a window's widget.
#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/Controls.h"
#include "framework/EventRules.h"
#include "framework/Forms.h"
#include "platform/Gdi.h"
#include "platform/Windowing.h"

namespace comtest {

// The events the event table says a change fires, joined by ",".
inline std::string RuleFor(const std::string& control, const std::string& change)
{
    for (const TEventRule& r : EventRules)
        if (control == r.ClassName && change == r.Change) {
            std::string fires(r.Events);
            std::replace(fires.begin(), fires.end(), ' ', ',');
            return fires;
        }
    ADD_FAILURE() << "no rule for " << control << " " << change;
    return "?";
}

inline void SendMouse(TWinControl* c, int x, int y, QEvent::Type type, Qt::MouseButton button)
{
    QWidget* w = WindowWidget(c->Handle());
    ASSERT_NE(w, nullptr);
    QPointF p(x, y);
    Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, p, w->mapToGlobal(p), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// A press and a release at a client point of a windowed control.
inline void UserClick(TWinControl* c, int x, int y, Qt::MouseButton button = Qt::LeftButton)
{
    SendMouse(c, x, y, QEvent::MouseButtonPress, button);
    SendMouse(c, x, y, QEvent::MouseButtonRelease, button);
}

// A form of a fixed size, shown offscreen; freed by the test.
inline TForm* ShownForm(int w = 640, int h = 480)
{
    EnsureGuiApplication();
    auto* f = new TForm(nullptr);
    f->SetBounds(10, 10, w, h);
    f->Show();
    return f;
}

} // namespace comtest
