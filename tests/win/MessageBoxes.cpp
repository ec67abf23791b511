#include "tests/win/MessageBoxes.h"

namespace quillet::testing {

static MessageBoxAnswerer* current = nullptr;

static std::string TextOf(HWND window) {
    char buffer[1024] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

MessageBoxAnswerer::MessageBoxAnswerer(int answer)
    : hook_(SetWindowsHookExA(WH_CBT, &Hook, nullptr, GetCurrentThreadId())), answer_(answer) {
    current = this;
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    UnhookWindowsHookEx(hook_);
    current = nullptr;
}

LRESULT CALLBACK MessageBoxAnswerer::Hook(int code, WPARAM wParam, LPARAM lParam) {
    const auto box = reinterpret_cast<HWND>(wParam);
    char kind[8] = {};
    // Message boxes and the open dialog are of the dialog class; the text of a message box is
    // the static control numbered 0xFFFF.
    if (code == HCBT_ACTIVATE && current != nullptr && GetClassNameA(box, kind, sizeof kind) &&
        std::string(kind) == "#32770") {
        current->seen_.push_back(
            {TextOf(box), TextOf(GetDlgItem(box, 0xFFFF)), GetDlgItem(box, IDCANCEL) != nullptr});
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(current->answer_, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, current->answer_)));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool PumpMessages(int milliseconds) {
    bool quit = false;
    const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
    do {
        MSG message{};
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            quit = quit || message.message == WM_QUIT;
            if (HWND top = GetAncestor(message.hwnd, GA_ROOT);
                top && IsDialogMessageA(top, &message))
                continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (milliseconds > 0)
            Sleep(10);
    } while (static_cast<int>(GetTickCount() - end) < 0);
    return quit;
}

} // namespace quillet::testing
