#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "PlacementEnv.h"
#include "placement/WinHook.h"

namespace {
constexpr UINT WM_PROBE = WM_USER + 7;

struct HookFixture : PlacementEnv {
    std::vector<std::string> log;
    TForm* form = nullptr;

    void SetUp() override
    {
        PlacementEnv::SetUp();
        form = new TForm(Application);
        form->HandleNeeded();
    }
    TWindowHook* MakeHook(const std::string& name, bool handleBefore = false)
    {
        auto* h = new TWindowHook(form);
        h->BeforeMessage = THookMessageEvent(
            [this, name, handleBefore](TObject*, TMessage& m, bool& handled) {
                if (m.Msg == WM_PROBE || m.Msg == WM_DESTROY || m.Msg == WM_QUIT) {
                    log.push_back(name + ".before");
                    handled = handleBefore;
                }
            });
        h->AfterMessage = THookMessageEvent([this, name](TObject*, TMessage& m, bool&) {
            if (m.Msg == WM_PROBE || m.Msg == WM_DESTROY)
                log.push_back(name + ".after");
        });
        h->SetWinControl(form);
        return h;
    }
    // Another subclasser: logs and passes the message on.
    WNDPROC Subclass(const std::string& name)
    {
        auto prev = std::make_shared<WNDPROC>();
        WNDPROC proc = MakeWindowProc([this, name, prev](HWND h, UINT msg, WPARAM wp, LPARAM lp) {
            if (msg == WM_PROBE || msg == WM_DESTROY)
                log.push_back(name);
            return CallWindowProc(*prev, h, msg, wp, lp);
        });
        *prev = SetWindowLong(form->Handle(), GWL_WNDPROC, proc);
        return proc;
    }
};
} // namespace

TEST_F(HookFixture, ListenersShareOneSubclassingAndTheLastIsAskedFirst)
{
    WNDPROC original = GetWindowLong(form->Handle(), GWL_WNDPROC);
    Subclass("inner");
    WNDPROC inner = GetWindowLong(form->Handle(), GWL_WNDPROC);
    auto* a = MakeHook("a");
    WNDPROC hooked = GetWindowLong(form->Handle(), GWL_WNDPROC);
    EXPECT_NE(hooked, inner);
    auto* b = MakeHook("b");
    EXPECT_EQ(GetWindowLong(form->Handle(), GWL_WNDPROC), hooked);
    ASSERT_NE(HookList(), nullptr);
    EXPECT_EQ(HookList()->Count(), 1);

    SendMessage(form->Handle(), WM_PROBE, 0, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"b.before", "a.before", "inner", "b.after", "a.after"}));

    b->Free();
    a->Free();
    EXPECT_EQ(GetWindowLong(form->Handle(), GWL_WNDPROC), inner);
    EXPECT_NE(inner, original);
}

TEST_F(HookFixture, HandledSuppressesAllButDestroyAndQuitIsNeverShown)
{
    MakeHook("a");
    MakeHook("b", true);
    Subclass("outer");
    SendMessage(form->Handle(), WM_PROBE, 0, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"outer", "b.before"}));
    log.clear();
    SendMessage(form->Handle(), WM_QUIT, 0, 0);
    EXPECT_TRUE(log.empty());
}

TEST_F(HookFixture, RemovingHooksOutOfOrderUnderAnotherSubclasserKeepsTheChain)
{
    auto* a = MakeHook("a");
    auto* b = MakeHook("b");
    WNDPROC outer = Subclass("outer");
    a->SetActive(false);
    b->Free();
    // Our procedure stays buried under "outer" but must still pass messages on.
    EXPECT_EQ(GetWindowLong(form->Handle(), GWL_WNDPROC), outer);
    SendMessage(form->Handle(), WM_PROBE, 0, 0);
    EXPECT_EQ(log, std::vector<std::string>{"outer"});
    // Re-activating does not stack a second copy of our procedure.
    log.clear();
    a->SetActive(true);
    SendMessage(form->Handle(), WM_PROBE, 0, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"outer", "a.before", "a.after"}));
    a->Free();
    FreeHookList();
    log.clear();
    SendMessage(form->Handle(), WM_PROBE, 0, 0);
    EXPECT_EQ(log, std::vector<std::string>{"outer"});
}

TEST_F(HookFixture, RecreatedWindowIsHookedAgainAndOldControlIsReleased)
{
    auto* a = MakeHook("a");
    form->RecreateWnd();
    EXPECT_EQ(std::count(log.begin(), log.end(), "a.after"), 1); // WM_DESTROY reached the listener
    Application->ProcessMessages();
    log.clear();
    SendMessage(form->Handle(), WM_PROBE, 0, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"a.before", "a.after"}));

    auto* other = new TForm(Application);
    other->HandleNeeded();
    WNDPROC formProc = GetWindowLong(form->Handle(), GWL_WNDPROC);
    a->SetWinControl(other);
    EXPECT_NE(GetWindowLong(form->Handle(), GWL_WNDPROC), formProc);
    EXPECT_EQ(HookList()->Count(), 2);
    Application->ProcessMessages();
    EXPECT_EQ(HookList()->Count(), 1);
    EXPECT_EQ(a->WinControl(), other);
    other->Free();
    EXPECT_EQ(a->WinControl(), nullptr);
}

TEST_F(HookFixture, ListenerExceptionGoesToTheApplication)
{
    std::vector<std::string> errors;
    Application->OnException = TExceptionEvent([&](TObject*, Exception* e) { errors.push_back(e->Message); });
    MakeHook("a");
    auto* thrower = new TWindowHook(form);
    thrower->BeforeMessage = THookMessageEvent([](TObject*, TMessage& m, bool&) {
        if (m.Msg == WM_PROBE)
            throw Exception("listener failed");
    });
    thrower->SetWinControl(form);
    SendMessage(form->Handle(), WM_PROBE, 0, 0);
    EXPECT_EQ(errors, std::vector<std::string>{"listener failed"});
    EXPECT_EQ(log, std::vector<std::string>{"a.after"});
}
