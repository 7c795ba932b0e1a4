#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "PlacementEnv.h"
#include "common/TempFolder.h"
#include "framework/ComCtrls.h"
#include "framework/FormReader.h"
#include "framework/Registry.h"
#include "framework/StdCtrls.h"
#include "placement/PropText.h"
#include "placement/StoreUtils.h"
#include "placement/TextUtils.h"
#include "platform/Windowing.h"

#include <QWidget>

namespace {
QM_ENUM(TProbeKind, pkOne, pkTwo, pkThree)
using TProbeKinds = Set<TProbeKind>;

// A component with one published property of each stored kind.
class TProbe : public TComponent {
    QM_CLASS(TProbe, TComponent)
public:
    using TComponent::TComponent;
    int Count = 0;
    char Letter = 'a';
    TProbeKind Kind = pkOne;
    bool Flag = false;
    double Ratio = 0.5;
    float Small = 0.25f;
    std::string Text = "x";
    TProbeKinds Kinds;
    Variant Extra;
    int64_t Big = 0;
    TComponent* Link = nullptr;
};
QM_CLASS_IMPL(TProbe, TComponent, [](TClassBuilder<TProbe>& b) {
    b.Property("Count", &TProbe::Count);
    b.Property("Letter", &TProbe::Letter);
    b.Property("Kind", &TProbe::Kind);
    b.Property("Flag", &TProbe::Flag);
    b.Property("Ratio", &TProbe::Ratio);
    b.Property("Small", &TProbe::Small);
    b.Property("Text", &TProbe::Text);
    b.Property("Kinds", &TProbe::Kinds);
    b.Property("Extra", &TProbe::Extra);
    b.Property("Big", &TProbe::Big);
    b.Property("Link", &TProbe::Link);
})

struct MapStore {
    std::vector<std::string> order;
    std::map<std::string, std::string> values;
    void Attach(TPropStore& s)
    {
        s.OnWriteValue = TWriteStrEvent([this](const std::string& sec, const std::string& id, const std::string& v) {
            order.push_back(sec + "|" + id);
            values[sec + "|" + id] = v;
        });
        s.OnReadValue = TReadStrEvent([this](const std::string& sec, const std::string& id, const std::string& d) {
            auto it = values.find(sec + "|" + id);
            return it == values.end() ? d : it->second;
        });
        s.OnClearSection = TEraseSectEvent([this](const std::string& sec) { order.push_back("clear " + sec); });
    }
};

std::string RegValue(const std::string& key, const std::string& name)
{
    TRegistry r;
    if (!r.OpenKey("\\Software\\" + key, false) || !r.ValueExists(name))
        return "<missing>";
    EXPECT_EQ(r.GetDataType(name), rdString) << name;
    return r.ReadString(name);
}

void ExpectRegValues(const std::string& key, std::initializer_list<std::pair<const char*, const char*>> values)
{
    for (const auto& [name, value] : values)
        EXPECT_EQ(RegValue(key, name), value) << key << " " << name;
}
} // namespace

TEST_F(PlacementEnv, PropertyTextOfEveryKindBothWays)
{
    auto* form = NewForm1();
    auto* p = new TProbe(form);
    p->SetName("P");
    auto* target = new TProbe(form);
    target->SetName("Target");
    p->Count = -42; p->Letter = 'Q'; p->Kind = pkThree; p->Flag = true; p->Ratio = 1.25; p->Small = 0.1f;
    p->Text = ""; p->Kinds = {pkOne, pkThree}; p->Extra = Variant("v 1"); p->Big = 1234567890123LL; p->Link = target;
    TStringList list;
    for (const char* e : {"P.Count", "P.Letter", "P.Kind", "P.Flag", "P.Ratio", "P.Small", "P.Text", "P.Kinds",
                          "P.Extra", "P.Big", "P.Link", "Nobody.Count", "broken"})
        list.Add(e);
    SyncStoredList(form, &list, true);
    EXPECT_EQ(list.Count(), 11);
    TPropStore store;
    store.Section = "S";
    MapStore m;
    m.Attach(store);
    StoreComponentProps(&store, form, &list);
    EXPECT_EQ(m.values["S|P_Count"], "-42");
    EXPECT_EQ(m.values["S|P_Letter"], "Q");
    EXPECT_EQ(m.values["S|P_Kind"], "pkThree");
    EXPECT_EQ(m.values["S|P_Flag"], "True");
    EXPECT_EQ(m.values["S|P_Ratio"], "1.25");
    EXPECT_EQ(m.values["S|P_Small"], "0.1");
    EXPECT_TRUE(m.values.count("S|P_Text")); // empty strings are written
    EXPECT_EQ(m.values["S|P_Text"], "");
    EXPECT_EQ(m.values["S|P_Kinds"], "[pkOne,pkThree]");
    EXPECT_EQ(m.values["S|P_Extra"], "v 1");
    EXPECT_EQ(m.values["S|P_Big"], "1234567890123");
    EXPECT_EQ(m.values["S|P_Link"], "Target");

    // Back, with texts as a person might have edited them; a bad one spoils only itself.
    m.values["S|P_Flag"] = "false";
    m.values["S|P_Kind"] = "PKTWO";
    m.values["S|P_Count"] = "  17 ";
    m.values["S|P_Ratio"] = "not a number";
    m.values["S|P_Kinds"] = "[pkTwo, nonsense]";
    m.values["S|P_Link"] = "(null)";
    p->Count = 0; p->Letter = 'z'; p->Flag = true; p->Ratio = 9; p->Text = "old"; p->Big = 0;
    LoadComponentProps(&store, form, &list);
    EXPECT_EQ(p->Count, 17);
    EXPECT_EQ(p->Letter, 'Q');
    EXPECT_EQ(p->Kind, pkTwo);
    EXPECT_FALSE(p->Flag);
    EXPECT_EQ(p->Ratio, 9);
    EXPECT_FLOAT_EQ(p->Small, 0.1f);
    EXPECT_EQ(p->Text, "");
    EXPECT_EQ(p->Kinds, TProbeKinds{pkTwo});
    EXPECT_EQ(VarToStr(p->Extra), "v 1");
    EXPECT_EQ(p->Big, 1234567890123LL);
    EXPECT_EQ(p->Link, nullptr);
    // An empty reference is filled by name, also owner-qualified.
    m.values["S|P_Link"] = "Form1.Target";
    LoadComponentProps(&store, form, &list);
    EXPECT_EQ(p->Link, target);
}

TEST_F(PlacementEnv, StoredItemsSplitJoinAndFollowRenames)
{
    std::string c, pr;
    EXPECT_TRUE(SplitStoredItem(" Edit1 . Text ", c, pr));
    EXPECT_EQ(c + "|" + pr, "Edit1|Text");
    EXPECT_FALSE(SplitStoredItem("Edit1.", c, pr));
    EXPECT_EQ(JoinStoredItem("", "Text"), "");
    EXPECT_EQ(ReplaceStoredComponent("Old.Font.Size", "New"), "New.Font.Size");
    EXPECT_EQ(ReplaceStoredComponent("nodot", "New"), "");
}

namespace {
struct MainWindow {
    TForm1* form;
    TFormStore* store;
    TCheckBox* split;
    TCoolBar* bar;
    int shows = 0, closeQueries = 0, destroys = 0;
    bool refuseClose = false;

    explicit MainWindow(bool sizeable = true)
    {
        form = NewForm1();
        form->SetBounds(100, 120, 400, 300);
        if (!sizeable)
            form->SetBorderStyle(bsDialog);
        form->OnShow = TNotifyEvent([this](TObject*) { ++shows; });
        form->OnCloseQuery = TCloseQueryEvent([this](TObject*, bool& canClose) {
            ++closeQueries;
            canClose = !refuseClose;
        });
        form->OnDestroy = TNotifyEvent([this](TObject*) { ++destroys; });
        split = new TCheckBox(form);
        split->SetName("SplitData_Setting");
        split->SetParent(form);
        bar = new TCoolBar(form);
        bar->SetName("MemChanCoolBar");
        bar->SetParent(form);
        bar->Bands()->Add()->SetText("Tools");
        bar->Bands()->Add()->SetWidth(150);
        store = new TFormStore(form);
        store->SetName("VYXFormStore");
        store->SetUseRegistry(true);
        store->SetIniFileName("Software\\Quillmere");
        for (const char* e : {"SplitData_Setting.Checked", "MemChanCoolBar.Bands", "MemChanCoolBar.Width"})
            store->StoredProps()->Add(e);
        store->Loading(); // as the form reader does
        store->Loaded();
    }
};
} // namespace

TEST_F(PlacementEnv, MainWindowSavesPlacementAndStoredPropertiesUnderTForm1)
{
    auto* w = new MainWindow();
    w->form->Show();
    EXPECT_EQ(w->shows, 1);
    w->split->SetChecked(true);
    w->bar->SetWidth(333);
    w->bar->Bands()->Items(1)->SetWidth(160);
    w->form->SetBounds(50, 60, 500, 350);
    EXPECT_TRUE(w->form->CloseQuery());
    EXPECT_EQ(w->closeQueries, 1);
    const std::string key = "Quillmere\\TForm1";
    ExpectRegValues(key, {{"FormVersion", "0"}, {"Visible", "0"}, {"PixelsPerInch", "96"}});
    EXPECT_NE(RegValue(key, "ShowCmd"), "<missing>");
    EXPECT_NE(RegValue(key, "Flags"), "<missing>");
    EXPECT_EQ(RegValue(key, "NormPos"), RegValue(key, "NormPos" + ScreenSizeSuffix()));
    EXPECT_EQ(RegValue(key, "MinMaxPos"), RegValue(key, "MinMaxPos" + ScreenSizeSuffix()));
    WINDOWPLACEMENT wp;
    GetWindowPlacement(w->form->Handle(), &wp);
    EXPECT_EQ(RegValue(key, "NormPos"), Format("%d,%d,%d,%d", {wp.rcNormalPosition.left, wp.rcNormalPosition.top,
                                                               wp.rcNormalPosition.right, wp.rcNormalPosition.bottom}));
    ExpectRegValues(key, {{"SplitData_Setting_Checked", "True"},
                          {"MemChanCoolBar_Width", "333"},
                          {"MemChanCoolBar_Bands.Count", "2"}});
    ExpectRegValues("Quillmere\\TForm1.MemChanCoolBar_Bands", {{"Item0_Text", "Tools"},
                                                               {"Item1_Text", ""},
                                                               {"Item1_Width", "160"},
                                                               {"Item0_Break", "True"},
                                                               {"Item0_BorderStyle", "bsNone"},
                                                               {"Item0_Bitmap", "<missing>"}});

    // A destroy after the close query does not save again: "Visible" stays "0".
    w->form->Free();
    EXPECT_EQ(w->destroys, 1);
    EXPECT_EQ(RegValue(key, "Visible"), "0");
    delete w;

    // Next run: the values come back, a stale band subkey is rebuilt by count.
    {
        TRegistry r;
        ASSERT_TRUE(r.OpenKey("\\Software\\Quillmere\\TForm1.MemChanCoolBar_Bands", false));
        r.WriteString("Item2_Text", "Third");
        r.CloseKey();
        ASSERT_TRUE(r.OpenKey("\\Software\\Quillmere\\TForm1", false));
        r.WriteString("MemChanCoolBar_Bands.Count", "3");
        r.WriteString("MemChanCoolBar_Width", "junk");
    }
    auto* again = new MainWindow();
    again->form->Show();
    EXPECT_TRUE(again->split->Checked());
    EXPECT_EQ(again->bar->Bands()->Count(), 3);
    EXPECT_EQ(again->bar->Bands()->Items(0)->Text(), "Tools");
    EXPECT_EQ(again->bar->Bands()->Items(2)->Text(), "Third");
    EXPECT_EQ(again->bar->Width(), 0) << "a bad number loads as 0";
    GetWindowPlacement(again->form->Handle(), &wp);
    EXPECT_EQ(wp.rcNormalPosition.left, 50);
    EXPECT_EQ(wp.rcNormalPosition.right - wp.rcNormalPosition.left, 500);
    again->form->Free();
    EXPECT_EQ(RegValue(key, "Visible"), "1") << "destroyed without a close query";
    delete again;
}

TEST_F(PlacementEnv, NeverShownFormWritesNothingAndRemovedComponentsLeaveTheList)
{
    auto* w = new MainWindow();
    EXPECT_EQ(w->store->StoredProps()->Count(), 3);
    EXPECT_TRUE(w->form->CloseQuery());
    EXPECT_EQ(RegValue("Quillmere\\TForm1", "FormVersion"), "<missing>");
    w->bar->Free();
    EXPECT_EQ(w->store->StoredProps()->Count(), 1);
    w->split->SetName("Renamed");
    SyncStoredList(w->form, w->store->StoredProps(), false);
    EXPECT_EQ(w->store->StoredProps()->Strings(0), "Renamed.Checked");
    w->form->Free();
    delete w;
}

TEST_F(PlacementEnv, RefusedCloseSavesNothingAndAPositionOfAnotherResolutionIsIgnored)
{
    auto* w = new MainWindow();
    w->form->Show();
    w->refuseClose = true;
    EXPECT_FALSE(w->form->CloseQuery());
    EXPECT_EQ(w->closeQueries, 1);
    EXPECT_EQ(RegValue("Quillmere\\TForm1", "FormVersion"), "<missing>");
    w->form->Free();
    delete w;

    // Stored at 120 pixels per inch the position is not this screen's; at 96 it is.
    for (const char* ppi : {"120", "96"}) {
        SCOPED_TRACE(ppi);
        {
            TRegistry r;
            ASSERT_TRUE(r.OpenKey("\\Software\\Quillmere\\TForm1", true));
            r.WriteString("PixelsPerInch", ppi);
            r.WriteString("NormPos" + ScreenSizeSuffix(), "30,40,430,340");
            r.WriteString("NormPos", "30,40,430,340");
        }
        auto* again = new MainWindow();
        again->form->Show();
        WINDOWPLACEMENT wp;
        GetWindowPlacement(again->form->Handle(), &wp);
        EXPECT_EQ(wp.rcNormalPosition.left, std::string(ppi) == "96" ? 30 : 100);
        again->form->Free();
        delete again;
    }
}

TEST_F(PlacementEnv, IniFileStorageWithStoredValues)
{
    const std::string dir = commontest::MakeTempDir("placement-store");
    ASSERT_FALSE(dir.empty());
    std::string path = dir + "/app.ini";
    auto* form = new TForm1(Application);
    form->SetBorderStyle(bsDialog);
    form->SetBounds(10, 20, 300, 200);
    auto* notes = new TMemo(form);
    notes->SetName("Notes");
    notes->SetParent(form);
    notes->Lines()->Add("first line");
    notes->Lines()->Add(" second, with a blank");
    auto* store = new TFormStore(form);
    store->SetIniFileName(path);
    store->StoredProps()->Add("Notes.Lines");
    TStoredValue* plain = store->StoredValues()->Add();
    plain->SetName("LastFile");
    TStoredValue* secret = store->StoredValues()->Add();
    secret->SetName("Password");
    secret->SetKeyString("k3y");
    EXPECT_THROW(secret->SetName("lastfile"), Exception);
    EXPECT_EQ(secret->Name(), "Password");
    store->Loading();
    store->Loaded();
    form->Show();
    // Changed after the restore, so the save writes them.
    plain->SetValue(Variant("'c:\\x.vyx'"));
    secret->SetValue(Variant("hunter2"));
    notes->Lines()->Add("third");
    form->SetBounds(40, 50, 300, 200);
    ASSERT_TRUE(form->CloseQuery());
    {
        TIniFile ini(path);
        EXPECT_EQ(ini.ReadString("TForm1", "Visible", ""), "0");
        EXPECT_EQ(ini.ReadString("TForm1", "LastFile", ""), "'c:\\x.vyx'");
        EXPECT_EQ(ini.ReadString("TForm1", "Password", ""), XorHexEncode("k3y", "hunter2"));
        EXPECT_EQ(ini.ReadString("TForm1.Notes_Lines", "Count", ""), "3");
        ini.WriteString("TForm1", "NormPos" + ScreenSizeSuffix(), "70,80,71,81"); // a dialog keeps its own size
    }
    plain->SetValue(Variant());
    secret->SetValue(Variant("changed"));
    notes->Lines()->Clear();
    notes->Lines()->Add("changed");
    form->Hide();
    form->Show();
    EXPECT_EQ(VarToStr(plain->Value()), "'c:\\x.vyx'");
    EXPECT_EQ(VarToStr(secret->Value()), "hunter2");
    ASSERT_EQ(notes->Lines()->Count(), 3);
    EXPECT_EQ(notes->Lines()->Strings(1), " second, with a blank");
    EXPECT_EQ(form->Left(), 70);
    EXPECT_EQ(form->Width(), 300);
    form->Free();
    std::filesystem::remove_all(dir);
}

TEST_F(PlacementEnv, MinMaxLimitsAndPreventResizeGoThroughGetMinMaxInfo)
{
    auto* form = new TForm1(Application);
    form->SetBounds(0, 0, 320, 240);
    auto* place = new TFormPlace(form);
    form->HandleNeeded();
    EXPECT_EQ(place->WinHook()->WinControl(), nullptr) << "no subclassing while unused";
    place->MinMaxInfo()->SetMinMax(7, 200); // MinTrackWidth
    place->MinMaxInfo()->SetMinMax(4, 600); // MaxTrackHeight
    EXPECT_EQ(place->WinHook()->WinControl(), form);
    MINMAXINFO mmi{};
    mmi.ptMinTrackSize = {1, 2};
    mmi.ptMaxTrackSize = {3000, 4000};
    LRESULT r = SendMessage(form->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    EXPECT_EQ(r, 1);
    EXPECT_EQ(mmi.ptMinTrackSize.x, 200);
    EXPECT_EQ(mmi.ptMinTrackSize.y, 2);
    EXPECT_EQ(mmi.ptMaxTrackSize.y, 600);
    EXPECT_EQ(mmi.ptMaxTrackSize.x, 3000);

    TMinMaxLimits zero(nullptr);
    place->MinMaxInfo()->Assign(&zero);
    EXPECT_EQ(place->WinHook()->WinControl(), nullptr);

    place->SetPreventResize(true);
    EXPECT_FALSE(form->BorderIcons().Contains(biMaximize));
    form->Show();
    mmi = MINMAXINFO{};
    SendMessage(form->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    EXPECT_EQ(mmi.ptMinTrackSize, (POINT{form->Width(), form->Height()}));
    EXPECT_EQ(mmi.ptMaxTrackSize, (POINT{form->Width(), form->Height()}));
    TMessage hit{WM_NCHITTEST, 0, 0, 17};
    bool handled = false;
    place->PlacementWindowHook(place, hit, handled);
    EXPECT_EQ(hit.Result, HTNOWHERE);
    place->SetPreventResize(false);
    EXPECT_TRUE(form->BorderIcons().Contains(biMaximize));
    form->Free();
}

// Switched on by the form's description, before the window ever shows: the user cannot
// resize the form from its first show on, nor after it was hidden and shown again.
TEST_F(PlacementEnv, PreventResizeFromTheDescriptionHoldsAtEveryShow)
{
    auto* form = new TForm1(Application);
    ReadComponentFromText(form,
                          "object Form1: TForm1\n"
                          "  Left = 10\n  Top = 10\n  Width = 320\n  Height = 240\n"
                          "  object Place: TFormPlace\n    PreventResize = True\n  end\n"
                          "end\n",
                          "Form1.qfm");
    for (const char* when : {"first show", "shown again"}) {
        SCOPED_TRACE(when);
        form->Show();
        Application->ProcessMessages();
        const QWidget* w = WindowWidget(form->Handle());
        EXPECT_EQ(w->minimumSize(), w->size());
        EXPECT_EQ(w->maximumSize(), w->size());
        MINMAXINFO mmi{};
        GetMinMaxInfo(form->Handle(), &mmi);
        EXPECT_EQ(mmi.ptMaxTrackSize, (POINT{320, 240}));
        form->Hide();
        Application->ProcessMessages();
    }
    form->Free();
}

TEST_F(PlacementEnv, RestoreErrorsGoToTheApplicationAndHandlersStillRun)
{
    std::vector<std::string> errors;
    Application->OnException = TExceptionEvent([&](TObject*, Exception* e) { errors.push_back(e->Message); });
    auto* w = new MainWindow();
    w->store->OnRestorePlacement = TNotifyEvent([](TObject*) { throw Exception("restore failed"); });
    w->form->Show();
    EXPECT_EQ(errors, std::vector<std::string>{"restore failed"});
    EXPECT_EQ(w->shows, 1);
    w->form->Free();
    EXPECT_EQ(w->destroys, 1);
    delete w;
}
