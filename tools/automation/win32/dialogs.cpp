#include "tools/automation/win32/dialogs.h"

#include <cstdio>
#include <vector>

#include "tools/automation/win32/plain_window.h"
#include "tools/automation/win32/process.h"
#include "tools/automation/win32/scratch.h"
#include "tools/support/bmp_writer.h"

namespace {

bool IsDialogWindow(HWND hwnd) { return ClassNameOf(hwnd) == L"#32770"; }

BOOL CALLBACK CollectDialog(HWND hwnd, LPARAM list) {
    if (IsWindowVisible(hwnd) && IsDialogWindow(hwnd))
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
    return TRUE;
}

// Message boxes carry their text in static 0xFFFF; the icon sits in static
// 20 on Windows and in stc1 (0x440) under Wine.
HWND MessageBoxIconControl(HWND box) {
    if (HWND icon = GetDlgItem(box, 20)) return icon;
    return GetDlgItem(box, 0x440);
}

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if ((search->processId == 0 || owner == search->processId) && IsWindowVisible(window) &&
        (search->className == nullptr || ClassNameOf(window) == search->className)) {
        search->found.push_back(window);
    }
    return TRUE;
}

}  // namespace

std::vector<HWND> VisibleWindows(DWORD processId, const wchar_t* className) {
    WindowSearch search{processId, className, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> ThreadDialogs(DWORD threadId) {
    std::vector<HWND> dialogs;
    EnumThreadWindows(threadId, &CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
    return dialogs;
}

HWND WaitForDialog(DWORD threadId, const std::wstring& caption, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND dialog : ThreadDialogs(threadId)) {
                if (WindowTextOf(dialog) == caption) {
                    found = dialog;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs) {
    return WaitUntil([&] { return !IsWindow(hwnd); }, timeoutMs);
}

std::wstring WindowTextOf(HWND hwnd) {
    // Sent with a bound, so a window of a thread that hangs cannot hold the
    // caller.
    wchar_t text[4096] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text),
                             SMTO_BLOCK | SMTO_ABORTIFHUNG, 5000, &copied))
        return std::wstring();
    return std::wstring(text, copied < 4096 ? copied : 4095);
}

std::wstring ClassNameOf(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

std::wstring MessageBoxTextOf(HWND box) {
    HWND text = GetDlgItem(box, 0xFFFF);
    return text ? WindowTextOf(text) : std::wstring();
}

UINT MessageBoxIconOf(HWND box) {
    HWND control = MessageBoxIconControl(box);
    if (!control) return 0;
    HICON shown = reinterpret_cast<HICON>(SendMessageW(control, STM_GETICON, 0, 0));
    // IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION and IDI_ASTERISK.
    const struct {
        WORD id;
        UINT style;
    } icons[] = {{32513, MB_ICONHAND},
                 {32514, MB_ICONQUESTION},
                 {32515, MB_ICONEXCLAMATION},
                 {32516, MB_ICONASTERISK}};
    for (const auto& icon : icons) {
        if (shown && shown == LoadIconW(nullptr, MAKEINTRESOURCEW(icon.id))) return icon.style;
    }
    return 0;
}

void PressButton(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PressKey(HWND dialog, UINT virtualKey) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    HWND target = nullptr;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus &&
        (info.hwndFocus == dialog || IsChild(dialog, info.hwndFocus)))
        target = info.hwndFocus;
    if (!target) target = GetWindow(dialog, GW_CHILD);
    if (!target) target = dialog;
    UINT scan = MapVirtualKeyW(virtualKey, 0);
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageW(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | (3u << 30));
}

std::vector<HWND> DialogControls(HWND dialog) {
    std::vector<HWND> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        controls.push_back(child);
    return controls;
}

bool SaveWindowBitmap(HWND hwnd, const std::wstring& path) {
    RECT rect;
    if (!GetWindowRect(hwnd, &rect)) return false;
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const unique_window_dc screen(nullptr);
    const unique_hdc memory(CreateCompatibleDC(screen.get()));
    const unique_hgdiobj bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bool ok = false;
    if (memory && bitmap) {
        const select_object_scope selected(memory.get(), bitmap.get());
        // Let the window and its children paint, then copy what the screen
        // shows (PrintWindow leaves the children out under Wine).
        // A window of another thread paints when that thread gets to it.
        RedrawWindow(hwnd, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
        DWORD_PTR ignored = 0;
        for (int i = 0; i < 3; ++i) {
            SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &ignored);
            Sleep(100);
        }
        ok = BitBlt(memory.get(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY) != FALSE;
        GdiFlush();
    }
    if (ok) {
        const std::uint32_t imageBytes = BmpRowStride(width, 24) * static_cast<std::uint32_t>(height);
        std::vector<std::uint8_t> file = BmpHeaders(width, height, 24, imageBytes);
        const std::uint8_t* pixels = static_cast<const std::uint8_t*>(bits);
        file.insert(file.end(), pixels, pixels + imageBytes);
        ok = WriteFileBytes(path, std::string(file.begin(), file.end()));
    }
    return ok;
}

// ---- TestThread -------------------------------------------------------------

TestThread::TestThread(std::function<void()> body) : body_(std::move(body)) {
    handle_.reset(CreateThread(nullptr, 0, &TestThread::Entry, this, 0, &id_));
}

DWORD WINAPI TestThread::Entry(void* self) {
    static_cast<TestThread*>(self)->body_();
    return 0;
}

bool TestThread::Join(DWORD timeoutMs) {
    return handle_ && WaitForSingleObject(handle_.get(), timeoutMs) == WAIT_OBJECT_0;
}

TestThread::~TestThread() {
    if (!handle_) return;
    // A failed test may leave a page or a message box open: answer it the way
    // that leads out (Yes or OK on a message box, else Cancel), one at a time.
    for (int round = 0; round < 50 && !Join(0); ++round) {
        std::vector<HWND> dialogs = ThreadDialogs(id_);
        HWND target = nullptr;
        for (HWND dialog : dialogs) {
            if (GetDlgItem(dialog, 0xFFFF) != nullptr) target = dialog;
        }
        if (target) {
            PostMessageW(target, WM_COMMAND, IDYES, 0);
        } else if (!dialogs.empty()) {
            PostMessageW(dialogs.front(), WM_COMMAND, IDCANCEL, 0);
        }
        Join(200);
    }
    if (!Join(0)) {
        std::fprintf(stderr, "test thread %lu did not end; terminated\n",
                     static_cast<unsigned long>(id_));
        TerminateThread(handle_.get(), 1);
    }
}

// ---- PumpedWindow -----------------------------------------------------------

namespace {

const wchar_t kOwnerClass[] = L"SetupTestOwnerWindow";

}  // namespace

PumpedWindow::PumpedWindow() {
    ready_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    thread_ = std::make_unique<TestThread>([this] { Loop(); });
    WaitForSingleObject(ready_.get(), 10000);
}

void PumpedWindow::Loop() {
    plain_window::Register(GetModuleHandleW(nullptr), kOwnerClass);  // fails harmlessly when already registered
    hwnd_ = CreateWindowExW(0, kOwnerClass, L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
    SetEvent(ready_.get());
    if (!hwnd_) return;
    plain_window::RunMessageLoop();
}

PumpedWindow::~PumpedWindow() {
    if (hwnd_) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    thread_->Join(5000);
    thread_.reset();
}
