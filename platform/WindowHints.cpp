#include "platform/WindowingInternal.h"

#include <QApplication>
#include <QHelpEvent>
#include <QProxyStyle>
#include <QStyleOption>
#include <QToolTip>
#include <algorithm>
#include <unordered_map>
#include <vector>

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

// The style's picture cache keys on the palette's identity, and a widget's palette gets a new
// one whenever its colours change, even back to colours it had before: a control whose text
// turns grey and back with every radio action would add its pictures to the cache again each
// time. Drawing with one palette per set of colours keeps the keys, so the pictures are reused.
class SharedPalettes {
public:
    QPalette Shared(const QPalette& p)
    {
        std::vector<QPalette>& same = FTable[Hash(p)];
        for (const QPalette& q : same)
            if (q == p)
                return WithGroupOf(q, p);
        // A program that keeps making new colours must not grow the table without end.
        if (FCount >= MaxPalettes) {
            FTable.clear();
            FCount = 0;
            return Shared(p);
        }
        same.push_back(p);
        ++FCount;
        return p;
    }

private:
    static constexpr std::size_t MaxPalettes = 256;

    static QPalette WithGroupOf(QPalette shared, const QPalette& p)
    {
        shared.setCurrentColorGroup(p.currentColorGroup());
        return shared;
    }

    static std::size_t Hash(const QPalette& p)
    {
        std::size_t h = 0;
        for (int g = 0; g < QPalette::NColorGroups; ++g)
            for (int r = 0; r < QPalette::NColorRoles; ++r) {
                const QBrush& b = p.brush(QPalette::ColorGroup(g), QPalette::ColorRole(r));
                h = h * 1000003u ^ (std::size_t(b.color().rgba()) << 8 | std::size_t(b.style()));
            }
        return h;
    }

    std::unordered_map<std::size_t, std::vector<QPalette>> FTable;
    std::size_t FCount = 0;
};

// The option is the caller's; it gets its own palette back when the drawing is done.
class SharedPaletteOption {
public:
    SharedPaletteOption(SharedPalettes& palettes, const QStyleOption* option)
        : FOption(const_cast<QStyleOption*>(option))
    {
        if (FOption) {
            FOwn = FOption->palette;
            FOption->palette = palettes.Shared(FOwn);
        }
    }
    ~SharedPaletteOption()
    {
        if (FOption)
            FOption->palette = FOwn;
    }
    SharedPaletteOption(const SharedPaletteOption&) = delete;
    SharedPaletteOption& operator=(const SharedPaletteOption&) = delete;

private:
    QStyleOption* FOption;
    QPalette FOwn;
};

// The program's style: the toolkit asks it how long the mouse must rest before a tooltip,
// and it draws with shared palettes.
class HintPauseStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* ret) const override
    {
        if (hint == SH_ToolTip_WakeUpDelay && gHintPause)
            return std::max(0, gHintPause());
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        SharedPaletteOption shared(FPalettes, option);
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        SharedPaletteOption shared(FPalettes, option);
        QProxyStyle::drawControl(element, option, painter, widget);
    }
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override
    {
        SharedPaletteOption shared(FPalettes, option);
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }

private:
    mutable SharedPalettes FPalettes;
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

