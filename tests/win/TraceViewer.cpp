#include "tests/win/TraceViewer.h"

namespace quillet::testing {

static LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* viewer = reinterpret_cast<TraceViewer*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message != WM_COPYDATA || viewer == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
    const auto& data = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    viewer->lines.push_back(static_cast<const char*>(data.lpData));
    viewer->sizes.push_back(data.cbData);
    return TRUE;
}

TraceViewer::TraceViewer() {
    const WNDCLASSA windowClass{.lpfnWndProc = &ViewerProc, .lpszClassName = "TfrmMxTrace"};
    RegisterClassA(&windowClass); // refused, harmlessly, once registered
    window = CreateWindowA("TfrmMxTrace", "Mx Trace", WS_POPUP, 0, 0, 0, 0, {}, {}, {}, {});
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

} // namespace quillet::testing
