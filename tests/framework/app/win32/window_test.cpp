#include "framework/app/win32/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>

#include "framework/app/win32/app_instance.h"
#include "framework/app/win32/application.h"
#include "framework/app/win32/thread_registry.h"
#include "framework/graphics/alpha_tables.h"
#include "tests/framework/app/win32/app_test_util.h"
#include "tools/automation/win32/process.h"

namespace {

CAppInstance g_instance(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOWNORMAL);

// A created framework window that is destroyed again at the end of the test.
struct CreatedWindow {
    CAppWindow window;
    CreatedWindow() { EXPECT_TRUE(window.Create()); }
    ~CreatedWindow() {
        HWND hwnd = window.Hwnd();
        DestroyWindow(hwnd);
        DropPendingMessages();
    }
};

RECT WindowRect(HWND hwnd) {
    RECT rect = {};
    GetWindowRect(hwnd, &rect);
    return rect;
}

SIZE AdjustedSize(DWORD style) {
    RECT rect = {0, 0, 800, 600};
    AdjustWindowRect(&rect, style, FALSE);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

LRESULT CALLBACK ForeignProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST(AppInstance, ConstructionRecordsTheArgumentsAndBuildsTheAlphaTables) {
    EXPECT_EQ(&g_instance, CurrentInstance);
    EXPECT_EQ(GetModuleHandleA(nullptr), g_instance.hInstance);
    EXPECT_EQ(SW_SHOWNORMAL, g_instance.nCmdShow);
    // Spot values of c * a / 255 and c * (255 - a) / 255, truncated.
    struct Entry {
        int a, c, first, second;
    } entries[] = {{0, 0, 0, 0}, {255, 255, 255, 0}, {0, 255, 0, 255}, {128, 255, 128, 127},
                   {100, 200, 78, 121}};
    for (const Entry& e : entries) {
        EXPECT_EQ(e.first, AlphaProductTables.first[e.a * 256 + e.c]) << e.a << "," << e.c;
        EXPECT_EQ(e.second, AlphaProductTables.second[e.a * 256 + e.c]) << e.a << "," << e.c;
    }
    {
        char line[] = "later";
        CAppInstance later(nullptr, nullptr, line, SW_HIDE);
        EXPECT_EQ(&later, CurrentInstance);
        EXPECT_STREQ("later", CurrentInstance->lpCmdLine);
    }
    CurrentInstance = &g_instance;
}

TEST(AppWindow, DefaultsCentreTheClientSizedRectangleOnTheScreen) {
    CAppWindow window;
    const WindowParams& params = *window.Params();
    int cx = GetSystemMetrics(SM_CXSCREEN);
    int cy = GetSystemMetrics(SM_CYSCREEN);
    ASSERT_EQ(1024, cx) << "the tests run on a 1024 x 768 screen";
    ASSERT_EQ(768, cy);
    SIZE size = AdjustedSize(kAppWindowStyle);
    EXPECT_EQ(112, params.x);
    EXPECT_EQ(84, params.y);
    EXPECT_EQ(size.cx, params.width);
    EXPECT_EQ(size.cy, params.height);
    EXPECT_EQ(0x90CA0000u, params.style);
    EXPECT_EQ(0u, params.exStyle);
    EXPECT_STREQ("TesselSDK_Application", params.title);
    EXPECT_EQ(std::wstring(L"TesselSDK_Application"), params.windowClass.lpszClassName);
    EXPECT_EQ(sizeof(WNDCLASSEXW), params.windowClass.cbSize);
    EXPECT_EQ(g_instance.hInstance, params.windowClass.hInstance);
    EXPECT_EQ(GetStockObject(BLACK_BRUSH), params.windowClass.hbrBackground);
}

TEST(AppWindow, CreateShowsAnEightHundredBySixHundredClientArea) {
    CreatedWindow created;
    HWND hwnd = created.window.Hwnd();
    ASSERT_NE(nullptr, hwnd);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    RECT outer = WindowRect(hwnd);
    SIZE size = AdjustedSize(kAppWindowStyle);
    EXPECT_EQ(112, outer.left);
    EXPECT_EQ(84, outer.top);
    EXPECT_EQ(size.cx, outer.right - outer.left);
    EXPECT_EQ(size.cy, outer.bottom - outer.top);
    RECT client = {};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(800, client.right - client.left);
    EXPECT_EQ(600, client.bottom - client.top);
    RECT stored = {};
    EXPECT_EQ(&stored, created.window.GetClientArea(&stored));
    EXPECT_TRUE(EqualRect(&client, &stored));
    wchar_t title[64] = {};
    GetWindowTextW(hwnd, title, 64);
    EXPECT_EQ(std::wstring(L"TesselSDK_Application"), title);
    EXPECT_TRUE(IsWindowUnicode(hwnd));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(&created.window), GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

TEST(AppWindow, SecondCreateReusesTheRegisteredClassAndIgnoresTheNewRecord) {
    CreatedWindow first;
    CAppWindow second;
    WNDCLASSEXW& wc = second.Params()->windowClass;
    wc.lpfnWndProc = &ForeignProc;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    ASSERT_TRUE(second.Create());
    HWND hwnd = second.Hwnd();
    EXPECT_EQ(GetClassLongPtrA(first.window.Hwnd(), GCLP_HBRBACKGROUND),
              GetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(GetStockObject(BLACK_BRUSH)),
              static_cast<LONG_PTR>(GetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND)));
    // The framework procedure still serves the second window: its handlers
    // see its messages.
    std::vector<std::string> log;
    RecordingHandler handler("h", &log, WM_APP);
    second.Handlers()->Add(&handler);
    EXPECT_EQ(0, SendMessageA(hwnd, WM_APP, 0, 0));
    EXPECT_EQ(std::vector<std::string>{"h:" + std::to_string(WM_APP)}, log);
    second.Handlers()->Remove(&handler);
    DestroyWindow(hwnd);
}

TEST(AppWindow, SetStyleKeepsTheClientSizeAndPlacesOrCentres) {
    const DWORD kPlain = WS_POPUP | WS_VISIBLE;
    struct Case {
        DWORD style;
        int centre;
        int x, y;
        DWORD expectedStyle;
        bool centred;
    } cases[] = {
        {0, 1, 5, 7, kAppWindowStyle, true},
        {0, 0, 10, 20, kAppWindowStyle, false},
        {0, 2, 30, 40, kAppWindowStyle, false},
        {kPlain, 1, 0, 0, kPlain, true},
        {kPlain, 0, -3, 9, kPlain, false},
        {0, 1, 0, 0, kPlain, true},  // the stored style is now the plain one
    };
    // One window goes through the cases in turn.
    CreatedWindow created;
    HWND hwnd = created.window.Hwnd();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "style " << std::hex << c.style << " centre " << c.centre);
        SetWindowPos(hwnd, nullptr, 300, 250, 100, 100, SWP_NOZORDER);
        EXPECT_NE(FALSE, created.window.SetStyle(c.style, c.centre, c.x, c.y));
        SIZE size = AdjustedSize(c.expectedStyle);
        RECT outer = WindowRect(hwnd);
        EXPECT_EQ(size.cx, outer.right - outer.left);
        EXPECT_EQ(size.cy, outer.bottom - outer.top);
        int x = c.centred ? (1024 - size.cx) >> 1 : c.x;
        int y = c.centred ? (768 - size.cy) >> 1 : c.y;
        EXPECT_EQ(x, outer.left);
        EXPECT_EQ(y, outer.top);
        EXPECT_EQ(c.expectedStyle, created.window.Params()->style);
        if (c.style != 0) {
            EXPECT_EQ(c.style, static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE)) & c.style);
        }
        RECT client = {};
        GetClientRect(hwnd, &client);
        EXPECT_EQ(800, client.right);
        EXPECT_EQ(600, client.bottom);
    }
}

TEST(MessageHandlerChain, OffersInOrderAndAClaimHidesTheMessageFromLaterHandlersAndDefault) {
    // WM_GETTEXTLENGTH answers the title's length from the default procedure
    // and 0 when a handler claims it.
    const LRESULT kTitleLength = static_cast<LRESULT>(strlen("TesselSDK_Application"));
    const std::string msg = std::to_string(WM_GETTEXTLENGTH);
    struct Case {
        const char* name;
        UINT claimsA, claimsB, claimsC;
        std::vector<std::string> expected;
        LRESULT result;
    } cases[] = {
        {"none claims", 0, 0, 0, {"a:" + msg, "b:" + msg, "c:" + msg}, kTitleLength},
        {"first claims", WM_GETTEXTLENGTH, 0, 0, {"a:" + msg}, 0},
        {"second claims", 0, WM_GETTEXTLENGTH, 0, {"a:" + msg, "b:" + msg}, 0},
        {"last claims", 0, 0, WM_GETTEXTLENGTH, {"a:" + msg, "b:" + msg, "c:" + msg}, 0},
    };
    CreatedWindow created;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> log;
        RecordingHandler a("a", &log, c.claimsA), b("b", &log, c.claimsB), cc("c", &log, c.claimsC);
        created.window.Handlers()->Add(&a);
        created.window.Handlers()->Add(&b);
        created.window.Handlers()->Add(&cc);
        EXPECT_EQ(c.result, SendMessageA(created.window.Hwnd(), WM_GETTEXTLENGTH, 0, 0));
        EXPECT_EQ(c.expected, log);
        created.window.Handlers()->Clear();
    }
}

TEST(MessageHandlerChain, DuplicatesSeeAMessageTwiceAndOneRemoveTakesBoth) {
    CreatedWindow created;
    std::vector<std::string> log;
    RecordingHandler twice("t", &log), other("o", &log);
    CMessageHandlerList* list = created.window.Handlers();
    list->Add(&twice);
    list->Add(&other);
    list->Add(&twice);
    const std::string m = ":" + std::to_string(WM_APP + 1);
    SendMessageA(created.window.Hwnd(), WM_APP + 1, 0, 0);
    EXPECT_EQ((std::vector<std::string>{"t" + m, "o" + m, "t" + m}), log);
    log.clear();
    list->Remove(&twice);
    EXPECT_EQ(1u, list->Count());
    SendMessageA(created.window.Hwnd(), WM_APP + 1, 0, 0);
    EXPECT_EQ((std::vector<std::string>{"o" + m}), log);
    list->Remove(&twice);  // not listed any more: nothing changes
    EXPECT_EQ(1u, list->Count());
    list->Clear();
}

TEST(MessageHandlerChain, UnclaimedActivateSwitchesIsActiveAndAClaimKeepsIt) {
    struct Step {
        WPARAM state;
        bool claimed;
        LRESULT result;
        bool active;
    } steps[] = {
        {WA_INACTIVE, false, 1, false},
        {WA_CLICKACTIVE, false, 1, true},
        {WA_INACTIVE, true, 0, true},
        {WA_INACTIVE, false, 1, false},
        {WA_ACTIVE, true, 0, false},
        {WA_ACTIVE, false, 1, true},
    };
    CreatedWindow created;
    EXPECT_TRUE(created.window.IsActive());
    std::vector<std::string> log;
    RecordingHandler claimer("claim", &log, WM_ACTIVATE);
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << "state " << step.state << " claimed " << step.claimed);
        if (step.claimed) created.window.Handlers()->Add(&claimer);
        EXPECT_EQ(step.result, SendMessageA(created.window.Hwnd(), WM_ACTIVATE, step.state, 0));
        EXPECT_EQ(step.active, created.window.IsActive());
        created.window.Handlers()->Remove(&claimer);
    }
    SendMessageA(created.window.Hwnd(), WM_ACTIVATE, WA_INACTIVE, 0);
    created.window.Activate();
    EXPECT_TRUE(created.window.IsActive());
}

TEST(AppWindow, MessagesAfterTheObjectIsDestroyedReachOnlyTheDefaultProcedure) {
    auto window = std::make_unique<CAppWindow>();
    ASSERT_TRUE(window->Create());
    HWND hwnd = window->Hwnd();
    std::vector<std::string> log;
    RecordingHandler handler("h", &log, WM_GETTEXTLENGTH);
    window->Handlers()->Add(&handler);
    EXPECT_EQ(0, SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0));
    EXPECT_EQ(1u, log.size());
    window.reset();
    EXPECT_EQ(0, GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    EXPECT_EQ(static_cast<LRESULT>(strlen("TesselSDK_Application")),
              SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0));
    EXPECT_EQ(1u, log.size());
    DestroyWindow(hwnd);
    DropPendingMessages();
}

// A handler that notices being called after its Remove returned.
class TrackedHandler : public CMessageHandler {
public:
    bool OnMessage(HWND, UINT message, WPARAM, LPARAM) override {
        // Takes the registry's lock, as the installer's handlers do, while
        // the other thread adds and removes through the registry; the yield
        // lets the other thread run in between.
        SwitchToThread();
        TheThreadRegistry.FindDisplay(nullptr);
        if (removed.load()) lateCalls.fetch_add(1);
        calls.fetch_add(1);
        return false;
    }
    std::atomic<bool> removed{true};
    std::atomic<int> calls{0};
    std::atomic<int> lateCalls{0};
};

int TotalCalls(const std::vector<std::unique_ptr<TrackedHandler>>& handlers) {
    int calls = 0;
    for (const auto& h : handlers) calls += h->calls.load();
    return calls;
}

TEST(MessageHandlerChain, HandlersChangedFromAnotherThreadDuringDispatchAreNeverCalledLate) {
    CApplication app;
    ASSERT_TRUE(app.GetWindow()->Create());
    HWND hwnd = app.GetHwnd();
    constexpr int kHandlers = 8;
    constexpr int kRounds = 20000;
    constexpr int kMinCalls = 20000;
    std::vector<std::unique_ptr<TrackedHandler>> handlers;
    for (int i = 0; i < kHandlers; ++i) handlers.push_back(std::make_unique<TrackedHandler>());

    std::atomic<bool> done{false};
    std::atomic<int> registryFailures{0};
    std::atomic<int> dispatched{0};
    std::thread changer([&] {
        TheThreadRegistry.SetApplication(&app);
        WaitUntil([&] { return dispatched.load() > 0; }, 10000);
        // Pairs of rounds: add handler i (twice), then remove the one added
        // four pairs earlier, so that about half the handlers are listed.
        // Goes on until the handlers were called often enough to overlap with
        // the changes, within half a minute.
        DWORD begun = GetTickCount();
        for (int round = 0; (round < kRounds || TotalCalls(handlers) < kMinCalls) &&
                            GetTickCount() - begun < 30000;
             ++round) {
            int i = round / 2;
            if (round % 2 == 0) {
                // Through the registry: its lock is held while the list's is taken.
                TrackedHandler& h = *handlers[i % kHandlers];
                h.removed = false;
                if (!TheThreadRegistry.AddHandler(&h)) registryFailures.fetch_add(1);
                if (!TheThreadRegistry.AddHandler(&h)) registryFailures.fetch_add(1);
            } else {
                TrackedHandler& old = *handlers[(i + kHandlers / 2) % kHandlers];
                if (!TheThreadRegistry.RemoveHandler(&old)) registryFailures.fetch_add(1);
                old.removed = true;
            }
        }
        for (auto& h : handlers) {
            app.RemoveMessageHandler(h.get());
            h->removed = true;
        }
        done = true;
    });
    // A deadlock between the two threads cannot be waited out: end the
    // program with a message instead of hanging.
    std::thread watchdog([&] {
        if (!WaitUntil([&] { return done.load(); }, 90000)) {
            std::fprintf(stderr, "handler list deadlock: the changing thread is stuck\n");
            std::fflush(stderr);
            ExitProcess(3);
        }
    });
    size_t maxCount = 0;
    DWORD start = GetTickCount();
    while (!done.load() && GetTickCount() - start < 60000) {
        SendMessageA(hwnd, WM_APP + 7, 0, 0);
        dispatched.fetch_add(1);
        maxCount = std::max(maxCount, app.GetWindow()->Handlers()->Count());
    }
    changer.join();
    watchdog.join();
    EXPECT_TRUE(done.load()) << "the changing thread did not finish within a minute";
    int late = 0;
    for (auto& h : handlers) late += h->lateCalls.load();
    EXPECT_EQ(0, registryFailures.load());
    EXPECT_EQ(0, late);
    EXPECT_GT(dispatched.load(), 0);
    EXPECT_GE(TotalCalls(handlers), kMinCalls);
    EXPECT_GT(maxCount, 1u);
    EXPECT_EQ(1u, app.GetWindow()->Handlers()->Count());  // the application itself
    DestroyWindow(hwnd);
    DropPendingMessages();
}

}  // namespace
