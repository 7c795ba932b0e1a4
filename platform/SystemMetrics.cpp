#include "platform/Gdi.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSize>

#include <map>

namespace {
std::map<int, int>& MetricOverrides()
{
    static std::map<int, int> overrides;
    return overrides;
}

QSize ScreenSize()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (QScreen* s = QGuiApplication::primaryScreen())
            return s->geometry().size();
    return QSize(1024, 768);
}
} // namespace

void SetSystemMetricsOverride(int index, int value)
{
    MetricOverrides()[index] = value;
}

void ClearSystemMetricsOverrides()
{
    MetricOverrides().clear();
}

int GetSystemMetrics(int index)
{
    if (auto it = MetricOverrides().find(index); it != MetricOverrides().end())
        return it->second;
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
    case SM_CXVIRTUALSCREEN:
        return ScreenSize().width();
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN:
        return ScreenSize().height();
    case SM_CYFULLSCREEN:
        return ScreenSize().height() - 19;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
        return 16;
    case SM_CYCAPTION:
    case SM_CYMENU:
        return 19;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CYSMCAPTION:
        return 15;
    case SM_CXSIZE:
    case SM_CYSIZE:
        return 18;
    case SM_CXMIN:
        return 112;
    case SM_CYMIN:
        return 27;
    case SM_CXMINTRACK:
        return 112;
    case SM_CYMINTRACK:
        return 27;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    case SM_CXDRAG:
    case SM_CYDRAG:
        return 4;
    case SM_CMONITORS:
        return 1;
    default:
        return 0;
    }
}

