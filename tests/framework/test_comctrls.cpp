#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ComTestUtil.h"
#include "FormCheck.h"
#include "RoundTrip.h"
#include "StdTestUtil.h"
#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/FormReader.h"
#include "framework/FormWriter.h"
#include "framework/Grids.h"
#include "platform/EventLoop.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"

namespace {

using comtest::RuleFor;

struct PageSetup {
    TForm* Form;
    TPageControl* PC;
    std::vector<TTabSheet*> Sheets;
    std::vector<std::string> Log;
    bool Allow = true;
    PageSetup()
    {
        Form = comtest::ShownForm();
        PC = new TPageControl(Form);
        PC->SetParent(Form);
        PC->SetBounds(0, 0, 500, 300);
        for (const char* cap : {"Memory Channels", "Menu Settings", "Command-Line", "Debug info"}) {
            auto* s = new TTabSheet(Form);
            s->SetPageControl(PC);
            s->SetCaption(cap);
            Sheets.push_back(s);
        }
        PC->OnChange = TNotifyEvent([this](TObject*) { Log.push_back("OnChange"); });
        PC->OnClick = TNotifyEvent([this](TObject*) { Log.push_back("OnClick"); });
        PC->OnChanging = TTabChangingEvent([this](TObject*, bool& allow) {
            Log.push_back("OnChanging");
            allow = Allow;
        });
        PumpMessages();
    }
    ~PageSetup() { FreeObject(Form); }
    std::string Joined() const
    {
        std::string s;
        for (const auto& e : Log)
            s += (s.empty() ? "" : ",") + e;
        return s;
    }
    void ClickTab(int page)
    {
        TRect r = PC->TabRect(page);
        ASSERT_GT(r.right, r.left) << "tab " << page << " is not shown";
        comtest::UserClick(PC, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
};

TEST(PageControl, HiddenTabsAndTabIndexOverVisibleTabs)
{
    PageSetup p;
    EXPECT_EQ(p.PC->PageCount(), 4);
    EXPECT_EQ(p.PC->ActivePage(), p.Sheets[0]);
    p.Sheets[1]->SetTabVisible(false);
    p.Sheets[2]->SetTabVisible(false);
    EXPECT_EQ(p.Sheets[3]->TabIndex(), 1);
    p.PC->SetActivePage(p.Sheets[3]);
    EXPECT_EQ(p.PC->TabIndex(), 1);
    EXPECT_EQ(p.PC->ActivePageIndex(), 3);
    EXPECT_EQ(p.PC->TabRect(1).right - p.PC->TabRect(1).left, 0) << "a hidden tab takes no place";
    // The page of a hidden tab can be active; it shows while the index reports -1.
    p.PC->SetActivePage(p.Sheets[2]);
    EXPECT_EQ(p.PC->ActivePage(), p.Sheets[2]);
    EXPECT_EQ(p.PC->TabIndex(), -1);
    EXPECT_TRUE(p.Sheets[2]->Visible());
    EXPECT_FALSE(p.Sheets[0]->Visible());
    // Hiding the active page's tab keeps it active.
    p.PC->SetTabIndex(1);
    EXPECT_EQ(p.PC->ActivePage(), p.Sheets[3]);
    p.Sheets[3]->SetTabVisible(false);
    EXPECT_EQ(p.PC->ActivePage(), p.Sheets[3]);
    EXPECT_EQ(p.PC->TabIndex(), -1);
    p.PC->SetTabIndex(5); // no such visible tab: nothing changes
    EXPECT_EQ(p.PC->ActivePage(), p.Sheets[3]);
    EXPECT_EQ(p.Joined(), RuleFor("TPageControl", "ActivePage"));
    EXPECT_THROW(p.PC->Pages(4), EListError);
}

QImage GrabForm(TForm* f)
{
    PumpMessages();
    QWidget* w = WindowWidget(f->Handle());
    return w ? w->grab().toImage() : QImage();
}

// Gaining or losing the focus repaints only the active tab, where the focus mark is drawn.
TEST(PageControl, FocusRepaintsOnlyTheActiveTab)
{
    PageSetup p;
    const HWND h = p.PC->Handle();
    const TRect tab = p.PC->TabRect(p.PC->ActivePageIndex());
    ASSERT_GT(tab.right, tab.left);
    for (UINT msg : {WM_SETFOCUS, WM_KILLFOCUS}) {
        ValidateRect(h, nullptr);
        SendMessage(h, msg, 0, 0);
        RECT pending{};
        ASSERT_TRUE(GetUpdateRect(h, &pending, FALSE));
        EXPECT_EQ(pending.left, tab.left - 2);
        EXPECT_EQ(pending.top, tab.top - 2);
        EXPECT_EQ(pending.right, tab.right + 2);
        EXPECT_EQ(pending.bottom, tab.bottom + 2);
    }
}

TEST(PageControl, TabCaptionsAreDrawnInTheFontTheyWereMeasuredIn)
{
    PageSetup p;
    for (int size : {8, 14}) {
        SCOPED_TRACE(size);
        p.PC->Font()->SetSize(size);
        p.PC->Invalidate();
        QImage img = GrabForm(p.Form);
        ASSERT_FALSE(img.isNull());
        TRect tab = p.PC->TabRect(1); // inactive: drawn at its measured place
        int measured = tab.right - tab.left - 16;
        auto [first, last] = stdtest::InkColumns(img, TRect{tab.left + 2, tab.top + 2, tab.right - 2, tab.bottom - 2});
        ASSERT_GE(first, 0) << "the caption is drawn";
        // The ink of "Menu Settings" lies within its advance width, less at most the side
        // bearings of its first and last letters; clipped text would end at the tab's edge.
        EXPECT_LE(last - first + 1, measured);
        EXPECT_GE(last - first + 1, measured - 4);
        EXPECT_GE(first, tab.left + 6) << "centred, not cut at the left";
        EXPECT_LE(last, tab.right - 7) << "centred, not cut at the right";
    }
}

TEST(PageControl, UserTabClickAsksOnChangingAndCanBeVetoed)
{
    PageSetup p;
    p.ClickTab(1);
    EXPECT_EQ(p.PC->ActivePage(), p.Sheets[1]);
    EXPECT_EQ(p.Joined(), RuleFor("TPageControl", "click on a tab"));
    p.Log.clear();
    p.Allow = false;
    p.ClickTab(0);
    EXPECT_EQ(p.PC->ActivePage(), p.Sheets[1]);
    EXPECT_EQ(p.Joined(), RuleFor("TPageControl", "click on a tab (vetoed)"));
    p.Log.clear();
    p.Allow = true;
    p.ClickTab(1); // the active tab: nothing to change
    EXPECT_EQ(p.Joined(), RuleFor("TPageControl", "click on the active tab"));
    p.Log.clear();
    p.PC->SetActivePageIndex(2);
    p.PC->SetActivePageIndex(-1);
    EXPECT_EQ(p.PC->ActivePage(), nullptr);
    EXPECT_EQ(p.Joined(), RuleFor("TPageControl", "ActivePageIndex"));
}

TEST(PageControl, FreeingTheActivePageActivatesAnother)
{
    PageSetup p;
    FreeObject(p.Sheets[0]);
    EXPECT_EQ(p.PC->PageCount(), 3);
    EXPECT_EQ(p.PC->ActivePage(), p.Sheets[1]);
}

TEST(ToolBar, ButtonsClickDownAndMenus)
{
    TForm* f = comtest::ShownForm();
    auto* tb = stdtest::Child<TToolBar>(f, 300, 30);
    auto* images = new TImageList(f);
    TBitmap bmp;
    bmp.SetSize(16, 16);
    bmp.Canvas()->Brush()->SetColor(clRed);
    bmp.Canvas()->FillRect(TRect{0, 0, 16, 16});
    EXPECT_EQ(images->Add(&bmp), 0);
    EXPECT_EQ(images->Add(nullptr), -1);
    EXPECT_EQ(images->Count(), 1);
    tb->SetImages(images);
    std::vector<TToolButton*> b;
    for (TToolButtonStyle s : {tbsButton, tbsSeparator, tbsCheck, tbsDropDown}) {
        auto* btn = new TToolButton(f);
        btn->SetParent(tb);
        btn->SetStyle(s);
        btn->SetImageIndex(0);
        b.push_back(btn);
    }
    EXPECT_EQ(tb->ButtonCount(), 4);
    EXPECT_EQ(b[1]->Left(), 23);
    EXPECT_EQ(b[2]->Left(), 31) << "a separator is narrow";
    PumpMessages();
    std::vector<std::string> log;
    for (auto* btn : b)
        btn->OnClick = TNotifyEvent([&log, btn](TObject*) { log.push_back(btn->ClassName() + std::to_string(btn->Left())); });
    comtest::UserClick(tb, 5, 5);
    EXPECT_EQ(log.size(), 1u);
    b[2]->SetDown(true);
    b[2]->SetDown(false);
    EXPECT_EQ(log.size(), 1u) << RuleFor("TToolButton", "Down");
    comtest::UserClick(tb, b[2]->Left() + 4, 5);
    EXPECT_TRUE(b[2]->Down()) << "a check button toggles";
    comtest::UserClick(tb, b[2]->Left() + 4, 5);
    EXPECT_FALSE(b[2]->Down());
    EXPECT_EQ(log.size(), 3u);
    b[0]->SetEnabled(false);
    comtest::UserClick(tb, 5, 5);
    EXPECT_EQ(log.size(), 3u) << RuleFor("TToolButton", "click (disabled)");

    // The drop-down arrow shows DropdownMenu instead of clicking; the right button shows
    // the pop-up menu; both name the button as the menu's PopupComponent.
    std::vector<TPopupMenu*> shown;
    SetPopupMenuPresenter([&](TPopupMenu* m, int, int) { shown.push_back(m); });
    auto* drop = new TPopupMenu(f);
    auto* popup = new TPopupMenu(f);
    b[3]->SetDropdownMenu(drop);
    b[2]->SetPopupMenu(popup);
    comtest::UserClick(tb, b[3]->Left() + b[3]->Width() - 3, 5);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], drop);
    EXPECT_EQ(drop->PopupComponent(), b[3]);
    EXPECT_EQ(log.size(), 3u);
    comtest::UserClick(tb, b[3]->Left() + 3, 5);
    EXPECT_EQ(log.size(), 4u) << "the button part of a drop-down button clicks";
    comtest::UserClick(tb, b[2]->Left() + 4, 5, Qt::RightButton);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1], popup);
    EXPECT_EQ(popup->PopupComponent(), b[2]);
    // One menu as both drop-down and pop-up of a button: letting go of it as the one still
    // leaves the other told when the menu is freed.
    auto* both = new TPopupMenu(nullptr);
    b[1]->SetDropdownMenu(both);
    b[1]->SetPopupMenu(both);
    b[1]->SetDropdownMenu(nullptr);
    FreeObject(both);
    EXPECT_EQ(b[1]->PopupMenu(), nullptr);
    SetPopupMenuPresenter({});
    FreeObject(f);
}

TEST(CoolBar, BandsLayoutControlsAndRebinding)
{
    TForm* f = comtest::ShownForm();
    auto* cb = stdtest::Child<TCoolBar>(f, 400, 80);
    auto* p1 = new TToolBar(f);
    p1->SetBounds(0, 0, 100, 22);
    auto* p2 = new TToolBar(f);
    p2->SetBounds(0, 0, 100, 22);
    int changes = 0;
    cb->OnChange = TNotifyEvent([&](TObject*) { ++changes; });
    int layouts = cb->LayoutCount();
    cb->BeginUpdate();
    TCoolBand* b1 = cb->Bands()->Add();
    b1->SetControl(p1);
    b1->SetWidth(150);
    TCoolBand* b2 = cb->Bands()->Add();
    b2->SetControl(p2);
    b2->SetBreak(false);
    EXPECT_EQ(cb->LayoutCount(), layouts) << "no layout inside an update";
    cb->EndUpdate();
    EXPECT_EQ(cb->LayoutCount(), layouts + 1);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(p1->Parent(), cb);
    EXPECT_EQ(b1->BandRect().right, 150);
    EXPECT_EQ(b2->BandRect().left, 150);
    EXPECT_EQ(b2->BandRect().right, cb->ClientWidth()) << "the last band of a row fills it";
    EXPECT_GT(p2->Left(), 150);
    b2->SetBreak(true);
    EXPECT_GT(b2->BandRect().top, b1->BandRect().top);
    // Re-binding: a control moves to its new band, the old band lets go.
    b2->SetControl(p1);
    EXPECT_EQ(b1->Control(), nullptr);
    EXPECT_EQ(b2->Control(), p1);
    EXPECT_EQ(cb->Bands()->FindBand(p1), b2);
    FreeObject(p1);
    EXPECT_EQ(b2->Control(), nullptr) << "a freed control leaves its band";
    FreeObject(f);
}

TEST(CoolBar, BandPropertiesRoundTripThroughTypeInformation)
{
    RegisterComControlsClasses();
    std::vector<std::string> names;
    for (PPropInfo p : GetPropList(TCoolBand::StaticClassInfo(), tkProperties))
        names.push_back(p->Name);
    EXPECT_EQ(names, (std::vector<std::string>{"Bitmap", "BorderStyle", "Break", "Color", "Control",
                                               "FixedBackground", "FixedSize", "HorizontalOnly", "ImageIndex",
                                               "MinHeight", "MinWidth", "ParentBitmap", "ParentColor", "Text",
                                               "Visible", "Width"}));
    EXPECT_TRUE(GetPropList(TBitmap::StaticClassInfo(), tkProperties).empty());

    TComponent owner(nullptr);
    auto* src = new TCoolBar(&owner);
    auto* ctl = new TToolBar(&owner);
    ctl->SetName("ToolBar1");
    TCoolBand* a = src->Bands()->Add();
    a->SetControl(ctl);
    a->SetWidth(321);
    a->SetMinHeight(44);
    a->SetText("Tools");
    a->SetBorderStyle(bsSingle);
    a->SetHorizontalOnly(true);
    TCoolBand* bnd = src->Bands()->Add();
    bnd->SetBreak(false);
    bnd->SetColor(clRed);
    bnd->SetImageIndex(3);
    bnd->SetFixedSize(true);

    // Save every band's values by name and kind, as the settings storage does, then restore
    // them into a fresh bar's rebuilt bands.
    using Values = std::vector<std::pair<std::string, std::string>>;
    std::vector<Values> saved;
    for (int i = 0; i < src->Bands()->Count(); ++i) {
        Values v;
        TCoolBand* band = src->Bands()->Items(i);
        for (PPropInfo p : GetPropList(band, tkProperties)) {
            if (p->PropType->Kind == tkClass) {
                auto* c = dynamic_cast<TComponent*>(GetObjectProp(band, p));
                v.emplace_back(p->Name, c ? c->Name() : "");
            } else if ((p->PropType->Kind == tkString || p->PropType->Kind == tkLString)) {
                v.emplace_back(p->Name, GetStrProp(band, p));
            } else {
                v.emplace_back(p->Name, std::to_string(GetOrdProp(band, p)));
            }
        }
        saved.push_back(v);
    }
    auto* dst = new TCoolBar(&owner);
    dst->BeginUpdate();
    for (const Values& v : saved) {
        TCoolBand* band = dst->Bands()->Add();
        for (const auto& [name, value] : v) {
            PPropInfo p = GetPropInfo(band, name);
            if (p->PropType->Kind == tkClass) {
                if (name == "Control")
                    SetObjectProp(band, p, value.empty() ? nullptr : owner.FindComponent(value));
            } else if ((p->PropType->Kind == tkString || p->PropType->Kind == tkLString)) {
                SetStrProp(band, p, value);
            } else if (name != "Visible") {
                SetOrdProp(band, p, std::stoll(value));
            }
        }
    }
    dst->EndUpdate();
    ASSERT_EQ(dst->Bands()->Count(), 2);
    for (int i = 0; i < 2; ++i)
        for (PPropInfo p : GetPropList(TCoolBand::StaticClassInfo(), tkProperties)) {
            SCOPED_TRACE(p->Name);
            TCoolBand* x = src->Bands()->Items(i);
            TCoolBand* y = dst->Bands()->Items(i);
            if ((p->PropType->Kind == tkString || p->PropType->Kind == tkLString)) {
                EXPECT_EQ(GetStrProp(x, p), GetStrProp(y, p));
            } else if (p->Name == "Control") {
                EXPECT_EQ(GetObjectProp(y, p), i == 0 ? ctl : nullptr);
            } else if (p->PropType->Kind != tkClass) {
                EXPECT_EQ(GetOrdProp(x, p), GetOrdProp(y, p));
            }
        }
    EXPECT_EQ(ctl->Parent(), dst) << "the restored band took its control";
    EXPECT_EQ(src->Bands()->Items(0)->Control(), ctl) << "each bar has its own band for it";
    EXPECT_FALSE(dst->Bands()->Items(1)->ParentColor());
    EXPECT_TRUE(IsStoredProp(dst->Bands()->Items(1), "Color"));
    EXPECT_FALSE(IsStoredProp(dst->Bands()->Items(0), "Color"));
}

TEST(StatusBar, PanelsAndSimpleText)
{
    TForm* f = comtest::ShownForm(400, 300);
    auto* sb = new TStatusBar(f);
    sb->SetParent(f);
    for (int w : {60, 80, 50}) {
        TStatusPanel* p = sb->Panels()->Add();
        p->SetWidth(w);
    }
    sb->Panels()->Items(0)->SetText("Used:");
    sb->Panels()->Items(2)->SetAlignment(taCenter);
    PumpMessages();
    EXPECT_EQ(sb->Align(), alBottom);
    EXPECT_EQ(sb->Top() + sb->Height(), f->ClientHeight());
    EXPECT_EQ(sb->PanelRect(1).left, 60);
    EXPECT_EQ(sb->PanelRect(2).left, 140);
    EXPECT_EQ(sb->PanelRect(2).right, sb->ClientWidth() - 2) << "the last panel reaches the edge";
    EXPECT_EQ(sb->PanelRect(3).right, 0);
    // Drawn as laid out, also after the bar has grown: the last panel's lowered frame ends at
    // the right edge and its centred text sits in the middle of the wide panel.
    sb->Panels()->Items(2)->SetText("Ready");
    f->SetWidth(600);
    QImage img = GrabForm(f);
    ASSERT_FALSE(img.isNull());
    TRect last = sb->PanelRect(2);
    ASSERT_EQ(last.right, sb->ClientWidth() - 2);
    QColor light = ColorRefToQColor(ColorToRGB(clBtnHighlight));
    QColor dark = ColorRefToQColor(ColorToRGB(clGray));
    int midY = sb->Top() + (last.top + last.bottom) / 2;
    EXPECT_EQ(img.pixelColor(sb->Left() + last.right - 1, midY), light) << "right edge of the frame";
    EXPECT_EQ(img.pixelColor(sb->Left() + last.left, midY), dark) << "left edge of the frame";
    EXPECT_EQ(img.pixelColor(sb->Left() + last.right - 3, sb->Top() + last.top), dark) << "top edge reaches the right";
    auto [first, lastInk] = stdtest::InkColumns(img, TRect{sb->Left() + last.left + 2, sb->Top() + last.top + 2,
                                                  sb->Left() + last.right - 2, sb->Top() + last.bottom - 2});
    ASSERT_GE(first, 0);
    int centre = sb->Left() + (last.left + last.right) / 2;
    EXPECT_NEAR((first + lastInk) / 2, centre, 4);
    sb->SetSimplePanel(true);
    sb->SetSimpleText("Ready");
    EXPECT_EQ(sb->Panels()->Items(0)->Text(), "Used:") << "simple text does not touch the panels";
    TStatusBar copy(nullptr);
    copy.SetPanels(sb->Panels());
    EXPECT_EQ(copy.Panels()->Count(), 3);
    EXPECT_EQ(copy.Panels()->Items(1)->Width(), 80);
    EXPECT_EQ(copy.Panels()->Items(2)->Alignment(), taCenter);
    FreeObject(f);
}

TEST(ComControlsTypes, EveryClassRoundTrips)
{
    RegisterComControlsClasses();
    for (TClass c : {TPageControl::StaticClassInfo(), TTabSheet::StaticClassInfo(), TToolBar::StaticClassInfo(),
                     TToolButton::StaticClassInfo(), TCoolBar::StaticClassInfo(), TStatusBar::StaticClassInfo(),
                     TImageList::StaticClassInfo()}) {
        SCOPED_TRACE(c->Name);
        EXPECT_GT(roundtrip::CheckClass(c), 0);
    }
}

// Every control that re-registers a colour property takes the colour names a description
// writes, and writes them back by name.
TEST(ComControlsTypes, ColourPropertiesTakeColourNames)
{
    EnsureGuiApplication();
    RegisterColorIdents();
    RegisterStdControlsClasses();
    RegisterComControlsClasses();
    const char* text = R"(object ColourForm: TForm
  Color = clBtnFace
  object Panel1: TPanel
    Color = clWindow
  end
  object RadioGroup1: TRadioGroup
    Color = clInfoBk
  end
  object Edit1: TEdit
    Color = clBtnFace
  end
  object Memo1: TMemo
    Color = clInfoBk
  end
  object ComboBox1: TComboBox
    Color = clBtnFace
  end
  object ListBox1: TListBox
    Color = clBtnFace
  end
  object Grid1: TStringGrid
    Color = clInfoBk
    FixedColor = clWindow
  end
  object CoolBar1: TCoolBar
    Bands = <
      item
        Color = clInfoBk
        ParentColor = False
      end>
  end
end
)";
    auto* form = new TForm(nullptr);
    ReadComponentFromText(form, text, "ColourForm.qfm");
    const std::pair<const char*, TColor> colours[] = {
        {"Panel1", clWindow}, {"RadioGroup1", clInfoBk}, {"Edit1", clBtnFace}, {"Memo1", clInfoBk},
        {"ComboBox1", clBtnFace}, {"ListBox1", clBtnFace}, {"Grid1", clInfoBk}};
    for (const auto& [name, colour] : colours)
        EXPECT_EQ(static_cast<TControl*>(form->FindComponent(name))->Color(), colour) << name;
    EXPECT_EQ(static_cast<TStringGrid*>(form->FindComponent("Grid1"))->FixedColor(), clWindow);
    auto* cool = static_cast<TCoolBar*>(form->FindComponent("CoolBar1"));
    ASSERT_EQ(cool->Bands()->Count(), 1);
    EXPECT_EQ(cool->Bands()->Items(0)->Color(), clInfoBk);
    std::string written = WriteComponentToText(form);
    for (const char* line : {"Color = clWindow", "Color = clInfoBk", "Color = clBtnFace", "FixedColor = clWindow"})
        EXPECT_NE(written.find(line), std::string::npos) << line << "\n" << written;
    EXPECT_EQ(written.find("Color = -"), std::string::npos) << "no colour written as a number\n" << written;
    FreeObject(form);
}

// A form class for the gallery description.
class TComGalleryForm : public TForm {
    QM_CLASS(TComGalleryForm, TForm)
public:
    explicit TComGalleryForm(TComponent* AOwner) : TForm(AOwner) {}
};
QM_CLASS_IMPL(TComGalleryForm, TForm)

TEST(ComGallery, FormDescriptionLoadsShowsAndGrabs)
{
    EnsureGuiApplication();
    RegisterStdControlsClasses();
    RegisterComControlsClasses();
    RegisterClasses({TComGalleryForm::StaticClassInfo(), TPopupMenu::StaticClassInfo()});
    std::filesystem::path file = SourceRoot() / "tests/resources/forms/gallery/ComGallery.qfm";
    std::ifstream in(file, std::ios::binary);
    ASSERT_TRUE(in.good()) << file;
    std::stringstream text;
    text << in.rdbuf();
    auto* form = new TComGalleryForm(nullptr);
    ReadComponentFromText(form, text.str(), "ComGallery.qfm");
    auto* grid = dynamic_cast<TStringGrid*>(form->FindComponent("MemGrid"));
    auto* pc = dynamic_cast<TPageControl*>(form->FindComponent("VYXPageControl"));
    auto* cool = dynamic_cast<TCoolBar*>(form->FindComponent("MemChanCoolBar"));
    ASSERT_TRUE(grid && pc && cool);
    EXPECT_EQ(pc->TabIndex(), 0);
    EXPECT_EQ(cool->Bands()->Count(), 2);
    EXPECT_EQ(cool->Bands()->Items(0)->Control(), form->FindComponent("MemChanToolBar"));
    for (int r = 1; r < grid->RowCount(); ++r) {
        grid->Cells[0][r] = std::to_string(r - 1);
        grid->Cells[1][r] = r % 3 ? "14.250.00" : "";
        grid->Cells[2][r] = r % 3 ? "USB" : "";
    }
    grid->Cells[1][0] = "RX Freq.";
    grid->Cells[2][0] = "Mode";
    grid->Cells[3][0] = "Description";
    auto* images = dynamic_cast<TImageList*>(form->FindComponent("ImageList1"));
    ASSERT_NE(images, nullptr);
    for (TColor c : {clRed, clGreen, clBlue}) {
        TBitmap bmp;
        bmp.SetSize(16, 16);
        bmp.Canvas()->Brush()->SetColor(clWhite);
        bmp.Canvas()->FillRect(TRect{0, 0, 16, 16});
        bmp.Canvas()->Brush()->SetColor(c);
        bmp.Canvas()->Ellipse(1, 1, 15, 15);
        images->Add(&bmp);
    }
    form->Show();
    PumpMessages();
    QWidget* w = WindowWidget(form->Handle());
    ASSERT_NE(w, nullptr);
    QImage img = w->grab().toImage();
    std::filesystem::path out = std::filesystem::temp_directory_path() / "comgallery.png";
    EXPECT_TRUE(img.save(QString::fromStdString(out.string())));
    EXPECT_GE(img.width(), 600);
    FreeObject(form);
}

} // namespace

TEST(PageControl, OnlyTheActivePagesWindowIsShown)
{
    PageSetup p;
    for (TTabSheet* s : p.Sheets)
        s->HandleNeeded();
    p.PC->SetActivePage(p.Sheets[1]);
    PumpMessages();
    for (size_t i = 0; i < p.Sheets.size(); ++i)
        EXPECT_EQ(IsWindowVisible(p.Sheets[i]->Handle()) != FALSE, i == 1) << "sheet " << i;
    p.ClickTab(0);
    PumpMessages();
    EXPECT_TRUE(IsWindowVisible(p.Sheets[0]->Handle()));
    EXPECT_FALSE(IsWindowVisible(p.Sheets[1]->Handle()));
}
