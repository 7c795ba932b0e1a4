#include <gtest/gtest.h>

#include <QCursor>
#include <stdexcept>
#include <string>
#include <vector>

#include "StdTestUtil.h"
#include "framework/Forms.h"
#include "platform/AppException.h"
#include "platform/EventLoop.h"

namespace {
struct AppEnv : ::testing::Test {
    void SetUp() override
    {
        InitForms();
        Application->Initialize();
        Application->SetTitle("Quillmere");
        SetMessageBoxService([this](const std::string& t, const std::string& c, UINT) {
            boxes.push_back(c + ": " + t);
            return IDOK;
        });
    }
    void TearDown() override
    {
        SetMessageBoxService(nullptr);
        DoneForms();
    }
    std::vector<std::string> boxes;
};

// Runs fn from the message loop, once the current handler has returned.
void Later(std::function<void()> fn)
{
    auto* heap = new std::function<void()>(std::move(fn));
    HWND h = AllocateHWnd([heap](TMessage& M) {
        if (M.Msg == WM_USER) {
            auto f = std::move(*heap);
            delete heap;
            f();
        }
    });
    PostMessage(h, WM_USER, 0, 0);
}
} // namespace

TEST_F(AppEnv, HandleExceptionShowsOrHandsOverTheMessage)
{
    auto raise = [](auto e) {
        try {
            throw e;
        } catch (...) {
            Application->HandleException(nullptr);
        }
    };
    raise(EConvertError("Bad number"));
    raise(std::runtime_error("Disk full."));
    // An abort is silent by design.
    raise(EAbort("stop"));
    EXPECT_EQ(boxes, (std::vector<std::string>{"Quillmere: Bad number.", "Quillmere: Disk full."}));

    std::vector<std::string> seen;
    TObject* sender = nullptr;
    Application->OnException = TExceptionEvent([&](TObject* s, Exception* e) {
        sender = s;
        seen.push_back(e->Message);
    });
    try {
        throw EConvertError("again");
    } catch (...) {
        Application->HandleException(Application);
    }
    // Exceptions reaching a toolkit entry point take the same way.
    ReportUnhandledException(std::make_exception_ptr(std::runtime_error("from the toolkit")));
    EXPECT_EQ(seen, (std::vector<std::string>{"again", "from the toolkit"}));
    EXPECT_EQ(sender, nullptr);
    EXPECT_EQ(boxes.size(), 2u);
}

TEST_F(AppEnv, RunEndsOnTerminateAndWhenTheMainFormCloses)
{
    TForm* main = nullptr;
    Application->CreateForm(main);
    ASSERT_EQ(Application->MainForm(), main);
    Later([] { Application->Terminate(); });
    Application->Run();
    EXPECT_TRUE(Application->Terminated());
    EXPECT_TRUE(main->Visible());

    // Closing the main form hides it and ends the loop.
    DoneForms();
    InitForms();
    Application->Initialize();
    Application->CreateForm(main);
    bool closed = false;
    main->OnClose = TCloseEvent([&](TObject*, TCloseAction& a) {
        closed = true;
        EXPECT_EQ(a, caFree);
    });
    Later([main] { main->Close(); });
    Application->Run();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(main->Visible());
}

TEST_F(AppEnv, WheelGoesToTheParentFormUnlessHandled)
{
    TForm* f = new TForm(Application);
    auto* c = stdtest::Child<TCustomControl>(f, 50, 50);
    std::vector<std::string> log;
    f->OnMouseWheelUp = TMouseWheelUpDownEvent([&](TObject*, TShiftState, TPoint, bool& h) {
        log.push_back("form up");
        h = true;
    });
    f->OnMouseWheelDown = TMouseWheelUpDownEvent([&](TObject*, TShiftState s, TPoint p, bool&) {
        log.push_back(std::string("form down") + (s.Contains(ssCtrl) ? " ctrl" : "") + " @" + std::to_string(p.x));
    });
    auto wheel = [&](short delta, WORD keys) {
        return SendMessage(c->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(keys, static_cast<WORD>(delta)), MAKELPARAM(40, 60));
    };
    EXPECT_EQ(wheel(120, 0), 1);
    // Unhandled everywhere: the message reports it.
    EXPECT_EQ(wheel(-120, MK_CONTROL), 0);
    c->OnMouseWheel = TMouseWheelEvent([&](TObject*, TShiftState, int delta, TPoint, bool& h) {
        log.push_back("control " + std::to_string(delta));
        h = delta > 0;
    });
    wheel(240, 0);
    wheel(-120, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"form up", "form down ctrl @40", "control 240", "control -120",
                                             "form down @40"}));
    FreeObject(f);
}

TEST_F(AppEnv, CursorsAreMadeOnFirstUseAndCanBeReplaced)
{
    auto* cross = static_cast<QCursor*>(Screen->Cursors(crCross));
    ASSERT_NE(cross, nullptr);
    EXPECT_EQ(cross->shape(), Qt::CrossCursor);
    // Asked again: the same object, not a new one.
    EXPECT_EQ(Screen->Cursors(crCross), cross);
    EXPECT_EQ(static_cast<QCursor*>(Screen->Cursors(crHourGlass))->shape(), Qt::WaitCursor);
    EXPECT_EQ(static_cast<QCursor*>(Screen->Cursors(12345))->shape(), Qt::ArrowCursor);

    // A program cursor under its own number, then replaced by another.
    constexpr int crCustom = 5;
    Screen->SetCursors(crCustom, new QCursor(Qt::PointingHandCursor));
    EXPECT_EQ(static_cast<QCursor*>(Screen->Cursors(crCustom))->shape(), Qt::PointingHandCursor);
    Screen->SetCursors(crCustom, new QCursor(Qt::SizeAllCursor));
    EXPECT_EQ(static_cast<QCursor*>(Screen->Cursors(crCustom))->shape(), Qt::SizeAllCursor);

    Screen->SetCursor(crHourGlass);
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
    Screen->SetCursor(crDefault);
    EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(AppEnv, FontsListTheInstalledFamilies)
{
    TStrings* fonts = Screen->Fonts();
    ASSERT_GT(fonts->Count(), 0);
    EXPECT_EQ(Screen->Fonts(), fonts);
    bool dejavu = false;
    for (int i = 0; i < fonts->Count(); ++i)
        dejavu = dejavu || fonts->Strings(i).rfind("DejaVu", 0) == 0;
    EXPECT_TRUE(dejavu);
}
