#include "framework/app/win32/window.h"

#include <cstring>
#include <string>

#include "framework/app/win32/app_instance.h"
#include "framework/system/win32/wide_text.h"

const wchar_t kAppWindowClassName[] = L"TesselSDK_Application";

namespace {

// The title's default: the class name's text.
const char kDefaultTitle[] = "TesselSDK_Application";

}  // namespace

namespace {

constexpr int kClientWidth = 800;
constexpr int kClientHeight = 600;

void FillDefaults(WindowParams* params) {
    WNDCLASSEXW& wc = params->windowClass;
    wc.cbSize = sizeof(WNDCLASSEXW);
    wc.style = 0;
    wc.lpfnWndProc = &CAppWindow::WindowProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = CurrentInstance ? CurrentInstance->hInstance : GetModuleHandleW(nullptr);
    // IDI_WINLOGO and IDC_ARROW, as the headers spell them only for the
    // ANSI functions here.
    wc.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32517));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = kAppWindowClassName;
    wc.hIconSm = nullptr;

    static_assert(sizeof(kDefaultTitle) <= sizeof(params->title), "title too small");
    std::memcpy(params->title, kDefaultTitle, sizeof(kDefaultTitle));
    params->style = kAppWindowStyle;
    params->exStyle = 0;
    // Centres the client-sized rectangle; the frame is not counted.
    params->x = GetSystemMetrics(SM_CXSCREEN) / 2 - kClientWidth / 2;
    params->y = GetSystemMetrics(SM_CYSCREEN) / 2 - kClientHeight / 2;
    RECT rect = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRect(&rect, kAppWindowStyle, FALSE);
    params->width = rect.right - rect.left;
    params->height = rect.bottom - rect.top;
    params->parent = nullptr;
}

}  // namespace

CAppWindow::CAppWindow() { FillDefaults(&params_); }

CAppWindow::~CAppWindow() {
    if (hwnd_ && GetWindowLongPtrW(hwnd_, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this)) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    }
}

bool CAppWindow::Create() {
    CLockScope hold(createLock_);
    WNDCLASSEXW& wc = params_.windowClass;
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (!GetClassInfoExW(wc.hInstance, wc.lpszClassName, &existing)) {
        if (RegisterClassExW(&wc) == 0) return false;
    }
    // At most the whole field: a title the program left without its zero
    // ends there.
    const std::wstring title =
        Widen(std::string_view(params_.title, strnlen(params_.title, sizeof params_.title)));
    hwnd_ = CreateWindowExW(params_.exStyle, wc.lpszClassName, title.c_str(), params_.style,
                            params_.x, params_.y, params_.width, params_.height, params_.parent,
                            nullptr, wc.hInstance, nullptr);
    if (!hwnd_) return false;
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ShowWindow(hwnd_, CurrentInstance ? CurrentInstance->nCmdShow : SW_SHOWNORMAL);
    GetClientRect(hwnd_, &client_);
    return true;
}

BOOL CAppWindow::SetStyle(DWORD style, int centre, int x, int y) {
    RECT rect = client_;
    if (style != 0) {
        SetWindowLongPtrW(hwnd_, GWL_STYLE, static_cast<LONG_PTR>(style));
        AdjustWindowRect(&rect, style, FALSE);
        params_.style = style;
    } else {
        AdjustWindowRect(&rect, params_.style, FALSE);
    }
    if (centre == 1) {
        x = (GetSystemMetrics(SM_CXSCREEN) + rect.left - rect.right) >> 1;
        y = (GetSystemMetrics(SM_CYSCREEN) + rect.top - rect.bottom) >> 1;
    }
    return SetWindowPos(hwnd_, nullptr, x, y, rect.right - rect.left, rect.bottom - rect.top,
                        SWP_NOZORDER | SWP_FRAMECHANGED);
}

void CAppWindow::Activate() {
    SetActiveWindow(hwnd_);
    active_ = true;
}

RECT* CAppWindow::GetClientArea(RECT* rect) {
    *rect = client_;
    return rect;
}

LRESULT CAppWindow::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandleMessage(message, wParam, lParam)) return 0;
    if (handlers_.Dispatch(hwnd_, message, wParam, lParam) != 0) return 0;
    switch (message) {
    case WM_ACTIVATE:
        active_ = LOWORD(wParam) != WA_INACTIVE;
        return 1;
    default:
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

LRESULT CALLBACK CAppWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* window = reinterpret_cast<CAppWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!window) return DefWindowProcW(hwnd, message, wParam, lParam);
    try {
        return window->OnWindowMessage(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the system's code; the message counts as
        // handled.
        return 0;
    }
}
