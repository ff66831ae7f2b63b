#include "framework/app/win32/input.h"

#include <gtest/gtest.h>

#include "framework/app/win32/app_instance.h"
#include "framework/app/win32/application.h"
#include "framework/app/win32/thread_registry.h"
#include "tests/framework/app/win32/app_test_util.h"
#include "tools/automation/win32/process.h"

// Keys and mouse buttons are driven through SendInput into the display's
// input queue, which Wine turns into the asynchronous key state that
// GetAsyncKeyState reads. The keys used (F9, F10) do nothing in other
// programs' dialogs.

namespace {

CAppInstance g_instance(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOWNORMAL);

bool IsDown(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

// Sends one key or button change and waits until the system state shows it.
void Key(WORD vk, bool down) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    ASSERT_EQ(1u, SendInput(1, &in, sizeof in));
    ASSERT_TRUE(WaitUntil([&] { return IsDown(vk) == down; }, 3000)) << "key " << vk;
}

void MouseButton(DWORD flags, int physicalVk, bool down) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    ASSERT_EQ(1u, SendInput(1, &in, sizeof in));
    ASSERT_TRUE(WaitUntil([&] { return IsDown(physicalVk) == down; }, 3000));
}

// The test thread plays both the main thread and the application thread:
// the window lives here and the application is recorded for this thread.
class InputTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app_.GetWindow()->Create());
        hwnd_ = app_.GetHwnd();
        SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(hwnd_);
        TheThreadRegistry.SetApplication(&app_);
        PumpPendingMessages();
    }
    void TearDown() override {
        SetInputSystemCalls(nullptr);
        SetTimerSystemCalls(nullptr);
        TheThreadRegistry.SetApplication(nullptr);
        DestroyWindow(hwnd_);
        DropPendingMessages();
    }
    // A screen point inside the client area.
    POINT ClientPointOnScreen(int x, int y) {
        POINT p = {x, y};
        ClientToScreen(hwnd_, &p);
        return p;
    }
    void Wheel(int delta) {
        SendMessageA(hwnd_, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), 0);
    }

    CApplication app_;
    HWND hwnd_ = nullptr;
};

TEST_F(InputTest, KeysStepThroughPressedHeldReleasedAndUp) {
    CInput input;
    struct Step {
        int change;  // 1 down, -1 up, 0 none before the Update
        int expected;
    } steps[] = {
        {0, KEY_UP},  {1, KEY_PRESSED}, {0, KEY_HELD}, {0, KEY_HELD},
        {-1, KEY_RELEASED}, {0, KEY_UP}, {1, KEY_PRESSED}, {-1, KEY_RELEASED},
    };
    int step = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(step++);
        if (s.change != 0) Key(VK_F9, s.change > 0);
        input.Update();
        EXPECT_EQ(s.expected, input.GetKey(VK_F9));
        EXPECT_EQ(KEY_UP, input.GetKey(VK_F10));
    }
    EXPECT_EQ(KEY_UP, input.GetKey(-1));
    EXPECT_EQ(KEY_UP, input.GetKey(kInputCodeCount));
}

TEST_F(InputTest, ClearForgetsTheFramesSoAHeldKeyReadsPressedAgain) {
    CInput input;
    Key(VK_F10, true);
    input.Update();
    input.Update();
    EXPECT_EQ(KEY_HELD, input.GetKey(VK_F10));
    input.Clear();
    EXPECT_EQ(KEY_UP, input.GetKey(VK_F10));
    input.Update();
    EXPECT_EQ(KEY_PRESSED, input.GetKey(VK_F10));
    Key(VK_F10, false);
}

TEST_F(InputTest, WheelTurnsBecomeCodes256And257ForOneFrame) {
    CInput input;
    struct Step {
        int delta;  // 0: no turn before the Update
        int up, down;
    } steps[] = {
        {WHEEL_DELTA, KEY_PRESSED, KEY_UP},
        {0, KEY_RELEASED, KEY_UP},
        {0, KEY_UP, KEY_UP},
        {-WHEEL_DELTA, KEY_UP, KEY_PRESSED},
        {-2 * WHEEL_DELTA, KEY_UP, KEY_HELD},
        {WHEEL_DELTA, KEY_PRESSED, KEY_RELEASED},
    };
    int index = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(index++);
        if (s.delta != 0) Wheel(s.delta);
        input.Update();
        EXPECT_EQ(s.up, input.GetKey(WHEEL_UP));
        EXPECT_EQ(s.down, input.GetKey(WHEEL_DOWN));
    }
}

TEST_F(InputTest, WheelMessagesGoOnToLaterHandlers) {
    CInput input;
    struct WheelCounter : CMessageHandler {
        int seen = 0;
        bool OnMessage(HWND, UINT m, WPARAM, LPARAM) override {
            seen += m == WM_MOUSEWHEEL;
            return false;
        }
    } later;
    app_.AddMessageHandler(&later);
    Wheel(WHEEL_DELTA);
    EXPECT_EQ(1, later.seen);
    app_.RemoveMessageHandler(&later);
}

TEST_F(InputTest, AnInactiveWindowReadsEveryKeyAsUp) {
    CInput input;
    Key(VK_F9, true);
    input.Update();
    EXPECT_EQ(KEY_PRESSED, input.GetKey(VK_F9));
    SendMessageA(hwnd_, WM_ACTIVATE, WA_INACTIVE, 0);
    ASSERT_FALSE(app_.GetWindow()->IsActive());
    Wheel(WHEEL_DELTA);
    input.Update();
    EXPECT_EQ(KEY_RELEASED, input.GetKey(VK_F9));
    EXPECT_EQ(KEY_UP, input.GetKey(WHEEL_UP));
    input.Update();
    EXPECT_EQ(KEY_UP, input.GetKey(VK_F9));
    SendMessageA(hwnd_, WM_ACTIVATE, WA_ACTIVE, 0);
    input.Update();
    EXPECT_EQ(KEY_PRESSED, input.GetKey(VK_F9));
    Key(VK_F9, false);
}

TEST_F(InputTest, AnInactiveWindowDoesNotReplayAnOldWheelTurn) {
    CInput input;
    Wheel(WHEEL_DELTA);
    input.Update();  // writes the turn into one frame
    EXPECT_EQ(KEY_PRESSED, input.GetKey(WHEEL_UP));
    input.Update();
    EXPECT_EQ(KEY_RELEASED, input.GetKey(WHEEL_UP));
    SendMessageA(hwnd_, WM_ACTIVATE, WA_INACTIVE, 0);
    input.Update();  // rewrites the frame that held the turn
    EXPECT_EQ(KEY_UP, input.GetKey(WHEEL_UP));
    input.Update();
    EXPECT_EQ(KEY_UP, input.GetKey(WHEEL_UP));
    SendMessageA(hwnd_, WM_ACTIVATE, WA_ACTIVE, 0);
}

// A clock the block tests set by hand.
DWORD g_now = 0;
DWORD WINAPI FakeTime() { return g_now; }
MMRESULT WINAPI FakeCaps(LPTIMECAPS caps, UINT) {
    caps->wPeriodMin = 1;
    return TIMERR_NOERROR;
}
MMRESULT WINAPI FakePeriod(UINT) { return TIMERR_NOERROR; }
const TimerSystemCalls kFakeClock = {&FakeCaps, &FakePeriod, &FakePeriod, &FakeTime};

TEST_F(InputTest, BlockHidesKeysForItsTimeAndEndsAtTheFirstLaterGetKey) {
    SetTimerSystemCalls(&kFakeClock);
    CInput input;
    Key(VK_F9, true);
    input.Update();
    g_now = 10000;
    input.Block(500);
    EXPECT_TRUE(input.IsBlocked());
    struct Step {
        DWORD now;
        bool callGetKey;
        int key;
        bool blockedAfter;
    } steps[] = {
        {10000, true, KEY_UP, true},
        {10499, true, KEY_UP, true},
        {10500, false, 0, true},  // time is up, but nothing has asked yet
        {10700, false, 0, true},
        {10700, true, KEY_PRESSED, false},
        {10701, true, KEY_PRESSED, false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.now);
        g_now = s.now;
        if (s.callGetKey) {
            EXPECT_EQ(s.key, input.GetKey(VK_F9));
        }
        EXPECT_EQ(s.blockedAfter, input.IsBlocked());
    }
    input.Block(100);
    EXPECT_TRUE(input.IsBlocked());
    input.Block(0);
    EXPECT_FALSE(input.IsBlocked());
    EXPECT_EQ(KEY_PRESSED, input.GetKey(VK_F9));
    Key(VK_F9, false);
}

TEST_F(InputTest, ButtonCodesNameTheLogicalButtonsWhenSwapped) {
    CInput input;
    POINT inside = ClientPointOnScreen(400, 300);
    ASSERT_TRUE(SetCursorPos(inside.x, inside.y));
    struct Case {
        BOOL swap;
        DWORD down, up;
        int physicalVk;
        int primary, secondary;  // GetKey(1), GetKey(2) after the Update
    } cases[] = {
        {FALSE, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, VK_LBUTTON, KEY_PRESSED, KEY_UP},
        {FALSE, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, VK_RBUTTON, KEY_UP, KEY_PRESSED},
        {TRUE, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, VK_RBUTTON, KEY_PRESSED, KEY_UP},
        {TRUE, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, VK_LBUTTON, KEY_UP, KEY_PRESSED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "swap " << c.swap << " vk " << c.physicalVk);
        SwapMouseButton(c.swap);
        ASSERT_EQ(c.swap != FALSE, GetSystemMetrics(SM_SWAPBUTTON) != 0);
        input.Clear();
        MouseButton(c.down, c.physicalVk, true);
        input.Update();
        EXPECT_EQ(c.primary, input.GetKey(1));
        EXPECT_EQ(c.secondary, input.GetKey(2));
        MouseButton(c.up, c.physicalVk, false);
        SwapMouseButton(FALSE);
        PumpPendingMessages();
    }
}

// Input calls under the test's control: every button down, the cursor where
// the test puts it.
struct FakeInput {
    static POINT cursor;
    static bool cursorOk;
    static int calls;
    static SHORT WINAPI KeyState(int vk) {
        ++calls;
        return static_cast<SHORT>(0x8000);
    }
    static int WINAPI Metrics(int index) { return 0; }
    static BOOL WINAPI CursorPos(POINT* p) {
        ++calls;
        *p = cursor;
        return cursorOk;
    }
    static BOOL WINAPI ToClient(HWND, POINT* p) {
        ++calls;
        return TRUE;  // the fake cursor is already in client coordinates
    }
};
POINT FakeInput::cursor = {0, 0};
bool FakeInput::cursorOk = true;
int FakeInput::calls = 0;
const InputSystemCalls kFakeInput = {&FakeInput::KeyState, &FakeInput::Metrics,
                                     &FakeInput::CursorPos, &FakeInput::ToClient};

TEST_F(InputTest, ButtonsReadUpWhileTheCursorIsOutsideTheClientArea) {
    SetInputSystemCalls(&kFakeInput);
    CInput input;
    struct Case {
        POINT cursor;
        bool cursorOk;
        bool buttonsKept;
    } cases[] = {
        {{0, 0}, true, true},      {{799, 599}, true, true},  {{800, 10}, true, false},
        {{10, 600}, true, false},  {{-1, 10}, true, false},   {{10, -1}, true, false},
        {{10, 10}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.cursor.x << "," << c.cursor.y << " ok " << c.cursorOk);
        FakeInput::cursor = c.cursor;
        FakeInput::cursorOk = c.cursorOk;
        input.Clear();
        input.Update();
        int button = c.buttonsKept ? KEY_PRESSED : KEY_UP;
        for (int code : {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_XBUTTON1, VK_XBUTTON2}) {
            EXPECT_EQ(button, input.GetKey(code)) << code;
        }
        EXPECT_EQ(KEY_PRESSED, input.GetKey(VK_CANCEL)) << "code 3 is a key, not a button";
        EXPECT_EQ(KEY_PRESSED, input.GetKey('A'));
    }
}

TEST_F(InputTest, MouseGivesClientCoordinatesOrMinusOneWhenDisabled) {
    CMouse mouse;
    struct Case {
        int x, y;
    } cases[] = {{0, 0}, {400, 300}, {799, 599}, {-20, -10}, {810, 620}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        POINT screen = ClientPointOnScreen(c.x, c.y);
        ASSERT_TRUE(SetCursorPos(screen.x, screen.y));
        POINT p = {};
        EXPECT_EQ(&p, mouse.GetPosition(&p));
        EXPECT_EQ(c.x, p.x);
        EXPECT_EQ(c.y, p.y);
    }
    SetInputSystemCalls(&kFakeInput);
    FakeInput::calls = 0;
    mouse.Disable();
    POINT p = {5, 5};
    mouse.GetPosition(&p);
    EXPECT_EQ(-1, p.x);
    EXPECT_EQ(-1, p.y);
    EXPECT_EQ(0, FakeInput::calls) << "a disabled mouse asks the system nothing";
    mouse.Enable();
    FakeInput::cursor = {12, 34};
    mouse.GetPosition(&p);
    EXPECT_EQ(12, p.x);
    EXPECT_EQ(34, p.y);
}

TEST_F(InputTest, InputRegistersItsHandlerForItsLifetime) {
    size_t before = app_.GetWindow()->Handlers()->Count();
    {
        CInput input;
        EXPECT_EQ(before + 1, app_.GetWindow()->Handlers()->Count());
    }
    EXPECT_EQ(before, app_.GetWindow()->Handlers()->Count());
}

}  // namespace
