// Every window the program ships, shown as a user meets it: each control's native widget
// agrees with the control's properties, no caption needs more room than its control gives
// it in its font, and no control reaches past its parent's right edge.
#include "AppTestSupport.h"

#include "framework/ComCtrls.h"
#include "framework/StdCtrls.h"
#include "platform/Codepage.h"
#include "platform/Gdi.h"
#include "platform/Windowing.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

using namespace apptest;

namespace {

std::string PathOf(const TControl* c)
{
    const TComponent* form = GetParentForm(c);
    const std::string name = c->Name().empty() ? "'" + c->Caption() + "'" : c->Name();
    return (form ? form->Name() + "." : std::string()) + name + " (" + c->ClassName() + ")";
}

bool EnabledWithParents(const TControl* c)
{
    for (; c; c = c->Parent())
        if (!c->Enabled())
            return false;
    return true;
}

// The window the user sees: the embedded toolkit widget of a standard control, else the
// control's own.
QWidget* SeenWidget(TWinControl* c)
{
    if (auto* w = dynamic_cast<TWidgetControl*>(c))
        return w->NativeWidget();
    return WindowWidget(c->Handle());
}

void CheckState(TWinControl* c, std::vector<std::string>& faults)
{
    QWidget* w = SeenWidget(c);
    if (!w) {
        faults.push_back(PathOf(c) + ": no window while its form shows");
        return;
    }
    if (w->isEnabled() != EnabledWithParents(c))
        faults.push_back(PathOf(c) + ": enabled " + std::to_string(EnabledWithParents(c)) + ", shown " +
                         std::to_string(w->isEnabled()));
    if (w->isVisible() != c->Showing())
        faults.push_back(PathOf(c) + ": showing " + std::to_string(c->Showing()) + ", visible " +
                         std::to_string(w->isVisible()));
    bool readOnly = false;
    bool hasReadOnly = false;
    if (auto* e = dynamic_cast<TCustomEdit*>(c))
        hasReadOnly = true, readOnly = e->ReadOnly();
    if (auto* m = dynamic_cast<TCustomMemo*>(c))
        hasReadOnly = true, readOnly = m->ReadOnly();
    if (!hasReadOnly)
        return;
    bool shownReadOnly = readOnly;
    if (auto* le = qobject_cast<QLineEdit*>(w))
        shownReadOnly = le->isReadOnly();
    else if (auto* sb = qobject_cast<QAbstractSpinBox*>(w))
        shownReadOnly = sb->isReadOnly();
    else if (auto* te = qobject_cast<QPlainTextEdit*>(w))
        shownReadOnly = te->isReadOnly();
    if (shownReadOnly != readOnly)
        faults.push_back(PathOf(c) + ": read-only " + std::to_string(readOnly) + ", shown " +
                         std::to_string(shownReadOnly));
}

// Room to the right of a control that sizes itself: up to the next sibling level with its
// middle, or the parent's edge.
int RoomBeside(const TControl* c)
{
    int right = c->Parent()->ClientWidth();
    for (int i = 0; i < c->Parent()->ControlCount(); ++i) {
        const TControl* s = c->Parent()->Controls(i);
        if (s == c || !s->Visible() || s->Left() <= c->Left())
            continue;
        const int middle = c->Top() + c->Height() / 2;
        if (s->Top() <= middle && middle < s->Top() + s->Height())
            right = std::min(right, s->Left());
    }
    return right - c->Left();
}

void CheckLabel(TCustomLabel* l, std::vector<std::string>& faults)
{
    HDC dc = CreateCompatibleDC(nullptr);
    TCanvas canvas;
    canvas.SetHandle(dc);
    canvas.Font()->Assign(l->Font());
    const std::vector<std::string> lines = l->DisplayLines(&canvas);
    int widest = 0;
    for (const std::string& line : lines)
        widest = std::max(widest, canvas.TextWidth(line));
    const int height = canvas.TextHeight("Wg") * static_cast<int>(lines.size());
    canvas.SetHandle(nullptr);
    DeleteDC(dc);
    const int room = l->AutoSize() && !l->WordWrap() ? RoomBeside(l) : l->Width();
    if (widest > room)
        faults.push_back(PathOf(l) + ": caption " + std::to_string(widest) + " px in " + std::to_string(room));
    if (l->WordWrap() && !l->AutoSize() && height > l->Height())
        faults.push_back(PathOf(l) + ": wrapped caption " + std::to_string(height) + " px high in " +
                         std::to_string(l->Height()));
}

// The room a button, check box or radio button leaves its text, by the toolkit's own style.
void CheckButton(TWinControl* c, std::vector<std::string>& faults)
{
    auto* b = qobject_cast<QAbstractButton*>(SeenWidget(c));
    if (!b)
        return;
    QStyleOptionButton opt;
    opt.initFrom(b);
    opt.rect = b->rect();
    opt.text = b->text();
    QStyle::SubElement part = qobject_cast<QCheckBox*>(b)      ? QStyle::SE_CheckBoxContents
                              : qobject_cast<QRadioButton*>(b) ? QStyle::SE_RadioButtonContents
                                                               : QStyle::SE_PushButtonContents;
    int room = b->style()->subElementRect(part, &opt, b).width();
    if (part == QStyle::SE_PushButtonContents && !b->icon().isNull())
        room -= b->iconSize().width() + 4;
    const int text = b->fontMetrics().horizontalAdvance(Cp1252ToQString(StripAccelerator(c->Caption())));
    if (text > room)
        faults.push_back(PathOf(c) + ": caption " + std::to_string(text) + " px in " + std::to_string(room));
}

void CheckStaticText(TStaticText* t, std::vector<std::string>& faults)
{
    auto* l = qobject_cast<QLabel*>(t->NativeWidget());
    if (!l || t->AutoSize())
        return;
    const int text = l->fontMetrics().horizontalAdvance(Cp1252ToQString(StripAccelerator(t->Caption())));
    if (text > l->contentsRect().width())
        faults.push_back(PathOf(t) + ": caption " + std::to_string(text) + " px in " +
                         std::to_string(l->contentsRect().width()));
}

void CheckTabs(TPageControl* p, std::vector<std::string>& faults)
{
    for (int i = 0; i < p->PageCount(); ++i) {
        const TRect r = p->TabRect(i);
        if (r.right > r.left && r.right > p->ClientWidth())
            faults.push_back(PathOf(p) + ": tab " + p->Pages(i)->Caption() + " ends at " + std::to_string(r.right) +
                             " of " + std::to_string(p->ClientWidth()));
    }
}

void CheckControls(TWinControl* parent, std::vector<std::string>& faults)
{
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (c->Visible() && c->Left() + c->Width() > parent->ClientWidth())
            faults.push_back(PathOf(c) + ": reaches " + std::to_string(c->Left() + c->Width()) + " px in " +
                             std::to_string(parent->ClientWidth()));
        if (auto* l = dynamic_cast<TCustomLabel*>(c))
            CheckLabel(l, faults);
        auto* w = dynamic_cast<TWinControl*>(c);
        if (!w)
            continue;
        CheckState(w, faults);
        if (dynamic_cast<TButtonControl*>(w))
            CheckButton(w, faults);
        if (auto* t = dynamic_cast<TStaticText*>(w))
            CheckStaticText(t, faults);
        if (auto* p = dynamic_cast<TPageControl*>(w))
            CheckTabs(p, faults);
        CheckControls(w, faults);
    }
}

class ProgramWindows : public ProgramTest {};

} // namespace

TEST_F(ProgramWindows, EveryFormShowsWhatItsControlsSay)
{
    // Each window in the state a user first meets it in: a model without a transmit half,
    // the settings dialogs filled as the main window fills them.
    CurrentRadio = FindRadioByField("R-5000", 1);
    Form1->ChangeRadioHandle(false);
    TStringList ports;
    ports.Add("/dev/ttyS0");
    ComportSettingsForm->SetAll(&ports, "/dev/ttyS0", "9600", "8", "1", "None", "Hardware",
                                "Disable", "Handshake");
    RadioTypeForm->SetAll(CurrentRadio);
    OptionsForm->SetAll();
    TForm* forms[] = {Form1,        RadioTypeForm,   AboutForm,   PrintMemForm, FindForm,
                      DisclaimForm, Range_Selection, OptionsForm, SplashForm,   ComportSettingsForm};
    size_t shipped = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SourceRoot() / "resources/forms"))
        shipped += entry.path().extension() == ".qfm";
    ASSERT_EQ(std::size(forms), shipped) << "every shipped form is checked";
    std::vector<std::string> faults;
    for (TForm* f : forms) {
        f->Show();
        Application->ProcessMessages();
        CheckState(f, faults);
        CheckControls(f, faults);
        f->Hide();
    }
    std::string all;
    for (const std::string& fault : faults)
        all += fault + "\n";
    EXPECT_TRUE(faults.empty()) << all;
}
