#include "tests/win/MessageBoxes.h"

#include "ui/Application.h"

#include <dlgs.h>

#include <algorithm>

namespace quillet::testing {

static MessageBoxAnswerer* current = nullptr;

static std::string TextOf(HWND window) {
    char buffer[1024] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

MessageBoxAnswerer::MessageBoxAnswerer(int answer)
    : hook_(SetWindowsHookExA(WH_CBT, &Hook, nullptr, GetCurrentThreadId())),
      idleHook_(SetWindowsHookExA(WH_CALLWNDPROC, &IdleHook, nullptr, GetCurrentThreadId())),
      answer_(answer), previous_(current) {
    current = this;
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    UnhookWindowsHookEx(idleHook_);
    UnhookWindowsHookEx(hook_);
    current = previous_; // an answerer made inside another's life hands back to it
}

LRESULT CALLBACK MessageBoxAnswerer::Hook(int code, WPARAM wParam, LPARAM lParam) {
    const auto box = reinterpret_cast<HWND>(wParam);
    char kind[8] = {};
    // Message boxes and the open dialog are of the dialog class; the text of a message box is
    // the static control numbered 0xFFFF.
    if (code == HCBT_ACTIVATE && current != nullptr && GetClassNameA(box, kind, sizeof kind) &&
        std::string(kind) == "#32770") {
        // The open and save dialogs have a File name field (a combo box, or an edit field).
        const bool fileDialog =
            GetDlgItem(box, cmb13) != nullptr || GetDlgItem(box, edt1) != nullptr;
        if (fileDialog && std::ranges::count(current->fileDialogs_, box) > 0)
            return CallNextHookEx(nullptr, code, wParam, lParam);
        // A file dialog's labels are numbered 0xFFFF too: it has no text of its own.
        current->seen_.push_back({TextOf(box),
                                  fileDialog ? std::string() : TextOf(GetDlgItem(box, 0xFFFF)),
                                  GetDlgItem(box, IDCANCEL) != nullptr});
        if (current->OnSeen)
            current->OnSeen(current->seen_.back());
        const int answer =
            current->AnswerFor ? current->AnswerFor(current->seen_.back()) : current->answer_;
        if (fileDialog) {
            current->fileDialogs_.push_back(box);
            current->waiting_.emplace_back(box, answer);
        } else {
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK MessageBoxAnswerer::IdleHook(int code, WPARAM wParam, LPARAM lParam) {
    // A dialog's loop tells its owner when it has handled every message.
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && current != nullptr && call->message == WM_ENTERIDLE &&
        call->wParam == MSGF_DIALOGBOX) {
        const auto box = reinterpret_cast<HWND>(call->lParam);
        auto& waiting = current->waiting_;
        const auto found =
            std::ranges::find_if(waiting, [box](const auto& entry) { return entry.first == box; });
        if (found != waiting.end()) {
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(found->second, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, found->second)));
            waiting.erase(found);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool PumpMessages(int milliseconds) {
    bool quit = false;
    const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
    do {
        MSG message{};
        while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!ui::Application().HandleMessage())
                quit = true;
        }
        if (milliseconds > 0)
            Sleep(10);
    } while (static_cast<int>(GetTickCount() - end) < 0);
    return quit;
}

void PressKey(HWND window, WORD virtualKey, bool alt) {
    // Bit 29 is the context code, set while Alt is down; bits 30 and 31 mark a release.
    const LPARAM context = alt ? (LPARAM{1} << 29) : 0;
    const LPARAM release = (LPARAM{1} << 30) | static_cast<LPARAM>(0x80000000u);
    PostMessageA(window, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, virtualKey, 1 | context);
    PostMessageA(window, alt ? WM_SYSKEYUP : WM_KEYUP, virtualKey, 1 | context | release);
}

void PressKeyWith(WORD held, HWND window, WORD virtualKey) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[held] = 0x80;
    SetKeyboardState(keys);
    PressKey(window, virtualKey);
    PumpMessages(50);
    keys[held] = 0;
    SetKeyboardState(keys);
}

} // namespace quillet::testing
