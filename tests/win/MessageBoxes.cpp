#include "tests/win/MessageBoxes.h"

namespace quillet::testing {

namespace {

MessageBoxAnswerer* current = nullptr;

std::string TextOf(HWND window) {
    char buffer[1024] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

} // namespace

MessageBoxAnswerer::MessageBoxAnswerer(int answer) : answer_(answer) {
    current = this;
    hook_ = SetWindowsHookExA(WH_CBT, &Hook, nullptr, GetCurrentThreadId());
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    UnhookWindowsHookEx(hook_);
    current = nullptr;
}

LRESULT CALLBACK MessageBoxAnswerer::Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && current != nullptr) {
        const auto box = reinterpret_cast<HWND>(wParam);
        char className[64] = {};
        GetClassNameA(box, className, sizeof className);
        if (std::string(className) == "#32770") {
            // The text of a message box is the static control numbered 0xFFFF.
            current->seen_.push_back({TextOf(box), TextOf(GetDlgItem(box, 0xFFFF)),
                                      GetDlgItem(box, IDCANCEL) != nullptr});
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(current->answer_, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, current->answer_)));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool PumpMessages(int milliseconds) {
    bool quit = false;
    const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
    do {
        MSG message{};
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                continue;
            }
            HWND top = GetAncestor(message.hwnd, GA_ROOT);
            if (top != nullptr && IsDialogMessageA(top, &message))
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
