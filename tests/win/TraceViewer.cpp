#include "tests/win/TraceViewer.h"

namespace quillet::testing {

TraceViewer::TraceViewer() {
    WNDCLASSA windowClass{};
    if (!GetClassInfoA(GetModuleHandleA(nullptr), "TfrmMxTrace", &windowClass)) {
        windowClass.lpfnWndProc = &WindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "TfrmMxTrace";
        RegisterClassA(&windowClass);
    }
    window_ = CreateWindowExA(0, "TfrmMxTrace", "Mx Trace", WS_POPUP, 0, 0, 10, 10, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TraceViewer::~TraceViewer() {
    DestroyWindow(window_);
}

LRESULT CALLBACK TraceViewer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* viewer = reinterpret_cast<TraceViewer*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_COPYDATA && viewer != nullptr) {
        const auto& data = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        viewer->lines_.push_back({static_cast<const char*>(data.lpData), data.cbData});
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace quillet::testing
