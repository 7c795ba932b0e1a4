#include <gtest/gtest.h>

#include <QWidget>
#include <Qt>

#include <string>
#include <vector>

#include "common/PostCall.h"
#include "framework/Forms.h"
#include "platform/EventLoop.h"
#include "platform/Windowing.h"

using posttest::PostCall;

namespace {
struct FormEnv : ::testing::Test {
    void SetUp() override
    {
        InitForms();
        Application->Initialize();
    }
    void TearDown() override
    {
        posttest::FreePostWindows();
        DoneForms();
    }
};
} // namespace

TEST_F(FormEnv, ShowModalReturnsTheResultSetByAHandler)
{
    TForm* f = new TForm(Application);
    std::vector<std::string> log;
    f->OnShow = TNotifyEvent([&](TObject*) {
        log.push_back("show");
        PostCall([f] { f->SetModalResult(mrYes); });
    });
    f->OnCloseQuery = TCloseQueryEvent([&](TObject*, bool&) { log.push_back("closequery"); });
    f->OnClose = TCloseEvent([&](TObject*, TCloseAction&) { log.push_back("close"); });
    EXPECT_EQ(f->ShowModal(), mrYes);
    EXPECT_FALSE(f->Visible());
    EXPECT_EQ(log, (std::vector<std::string>{"show", "closequery", "close"}));
    FreeObject(f);
}

TEST_F(FormEnv, EscapeAndCloseBoxCancel)
{
    TForm* f = new TForm(Application);
    f->OnShow = TNotifyEvent([f](TObject*) { PostCall([f] { DeliverKeyPress(f->Handle(), Qt::Key_Escape, 0, 27); }); });
    EXPECT_EQ(f->ShowModal(), mrCancel);
    f->OnShow = TNotifyEvent([f](TObject*) { PostCall([f] { SendMessage(f->Handle(), WM_CLOSE, 0, 0); }); });
    EXPECT_EQ(f->ShowModal(), mrCancel);
    EXPECT_TRUE(IsWindow(f->Handle()));
    FreeObject(f);
}

TEST_F(FormEnv, CloseQueryCanRefuseTheModalEnd)
{
    TForm* f = new TForm(Application);
    int asked = 0;
    f->OnCloseQuery = TCloseQueryEvent([&](TObject*, bool& can) { can = ++asked > 1; });
    f->OnShow = TNotifyEvent([f](TObject*) {
        PostCall([f] {
            f->SetModalResult(mrOk);
            PostCall([f] { f->SetModalResult(mrNo); });
        });
    });
    EXPECT_EQ(f->ShowModal(), mrNo);
    EXPECT_EQ(asked, 2);
    FreeObject(f);
}

TEST_F(FormEnv, HandlerWaitingInsideModalKeepsWorking)
{
    TForm* f = new TForm(Application);
    bool timerFired = false;
    bool waited = false;
    f->OnShow = TNotifyEvent([&](TObject*) {
        PostCall([&] {
            // A handler that itself waits in the event loop, as the radio code does.
            SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR id, DWORD) {
                KillTimer(nullptr, id);
                PostQuitMessage(0);
            });
            UINT_PTR t = SetTimer(f->Handle(), 77, 10, nullptr);
            (void)t;
            DelayWithMessages(100);
            waited = true;
            f->SetModalResult(mrOk);
        });
    });
    f->WindowProc = [&, f](TMessage& M) {
        if (M.Msg == WM_TIMER && M.WParam == 77) {
            timerFired = true;
            KillTimer(f->Handle(), 77);
        }
        f->WndProc(M);
    };
    EXPECT_EQ(f->ShowModal(), mrOk);
    EXPECT_TRUE(waited);
    EXPECT_TRUE(timerFired);
    FreeObject(f);
}

TEST_F(FormEnv, WindowStateIsRecordedWhileHiddenAndAppliedAtShow)
{
    TForm* f = new TForm(Application);
    f->SetWindowState(wsMaximized);
    EXPECT_EQ(f->WindowState(), wsMaximized);
    EXPECT_FALSE(f->HandleAllocated() && IsWindowVisible(f->Handle()));
    f->Show();
    EXPECT_TRUE(IsZoomed(f->Handle()));
    f->Hide();
    EXPECT_EQ(f->WindowState(), wsMaximized);
    FreeObject(f);
}

// What the window manager is told for each border style (all border icons on): a frame or
// none, the kind of window, the buttons on the title bar, and whether the user may resize.
TEST_F(FormEnv, BorderStylesBecomeTheWindowManagersHints)
{
    const Qt::WindowFlags none;
    const Qt::WindowFlags allButtons =
        Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;
    struct Row {
        TBorderStyle Style;
        Qt::WindowType Kind;
        bool Frame;
        Qt::WindowFlags Buttons;
        bool Resizable;
    } rows[] = {
        {bsNone, Qt::Window, false, none, false},
        {bsSingle, Qt::Window, true, allButtons, false},
        {bsSizeable, Qt::Window, true, allButtons, true},
        {bsDialog, Qt::Dialog, true, Qt::WindowCloseButtonHint, false},
        {bsToolWindow, Qt::Tool, true, Qt::WindowCloseButtonHint, false},
        {bsSizeToolWin, Qt::Tool, true, Qt::WindowCloseButtonHint, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.Style));
        TForm* f = new TForm(Application);
        f->SetBounds(10, 10, 300, 200);
        f->SetBorderStyle(r.Style);
        f->Show();
        const QWidget* w = WindowWidget(f->Handle());
        const Qt::WindowFlags flags = w->windowFlags();
        EXPECT_EQ(flags & Qt::WindowType_Mask, r.Kind);
        EXPECT_EQ(!(flags & Qt::FramelessWindowHint), r.Frame);
        EXPECT_EQ(static_cast<bool>(flags & Qt::WindowTitleHint), r.Frame);
        EXPECT_EQ(flags & allButtons, r.Buttons);
        EXPECT_EQ(w->minimumSize() != w->maximumSize(), r.Resizable);
        FreeObject(f);
    }
}

TEST_F(FormEnv, FormMinMaxAnswerComesFromConstraints)
{
    TForm* f = new TForm(Application);
    f->SetBounds(10, 10, 300, 200);
    f->Show();
    f->Constraints()->SetMinWidth(260);
    f->SetBounds(10, 10, 100, 200);
    EXPECT_EQ(f->Width(), 260);
    MINMAXINFO mm;
    ASSERT_TRUE(GetMinMaxInfo(f->Handle(), &mm));
    EXPECT_EQ(mm.ptMinTrackSize.x, 260);
    FreeObject(f);
}

TEST_F(FormEnv, DestroyFiresOnDestroyWhileWholeAndLeavesScreen)
{
    TForm* f = new TForm(Application);
    auto* c = new TCustomControl(f);
    c->SetName("Panel");
    c->SetParent(f);
    int count = Screen->FormCount();
    bool sawChild = false;
    f->OnDestroy = TNotifyEvent([&](TObject*) { sawChild = f->FindComponent("Panel") == c && c->Parent() == f; });
    FreeObject(f);
    EXPECT_TRUE(sawChild);
    EXPECT_EQ(Screen->FormCount(), count - 1);
}

TEST_F(FormEnv, KeyPreviewLetsTheFormSeeKeysFirst)
{
    TForm* f = new TForm(Application);
    auto* c = new TCustomControl(f);
    c->SetParent(f);
    f->SetKeyPreview(true);
    std::vector<std::string> log;
    f->OnKeyPress = TKeyPressEvent([&](TObject*, char& k) {
        log.push_back(std::string("form ") + k);
        if (k == 'x')
            k = 0;
    });
    c->OnKeyPress = TKeyPressEvent([&](TObject*, char& k) { log.push_back(std::string("control ") + k); });
    DeliverKeyPress(c->Handle(), Qt::Key_A, 0, U'a');
    DeliverKeyPress(c->Handle(), Qt::Key_X, 0, U'x');
    EXPECT_EQ(log, (std::vector<std::string>{"form a", "control a", "form x"}));
    FreeObject(f);
}

TEST(FormProperties, PublishedForDescriptions)
{
    for (const char* p : {"Left", "Width", "Align", "Visible", "Color", "Font", "Hint", "Cursor", "PopupMenu", "Tag",
                          "OnClick", "OnMouseDown", "TabOrder", "Caption", "BorderStyle", "Position", "WindowState",
                          "ClientWidth", "KeyPreview", "OnCloseQuery", "OnCreate"})
        EXPECT_TRUE(IsPublishedProp(TForm::StaticClassInfo(), p)) << p;
}
