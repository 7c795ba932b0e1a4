#include "platform/WindowingInternal.h"

#include <QApplication>
#include <QHelpEvent>
#include <QProxyStyle>
#include <QToolTip>
#include <algorithm>

#include "platform/Codepage.h"

using namespace window_detail;

bool window_detail::ShowWindowHint(QmWindow* w, QHelpEvent* e)
{
    WindowHintQuery q;
    q.Pos = w->ClientPoint(e->pos());
    w->Send(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&q));
    if (q.Text.empty()) {
        QToolTip::hideText();
        e->ignore(); // the parent window may have one
        return false;
    }
    QToolTip::showText(e->globalPos(), Cp1252ToQString(q.Text), w, QRect(), q.HidePause > 0 ? q.HidePause : -1);
    return true;
}

namespace {

int (*gHintPause)() = nullptr;

// The toolkit asks its style how long the mouse must rest before a tooltip.
class HintPauseStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* ret) const override
    {
        if (hint == SH_ToolTip_WakeUpDelay && gHintPause)
            return std::max(0, gHintPause());
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
};

} // namespace

void SetHintPauseSource(int (*pause)())
{
    gHintPause = pause;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    if (!dynamic_cast<HintPauseStyle*>(QApplication::style()))
        QApplication::setStyle(new HintPauseStyle);
}

