// Waits, from inside the Wine desktop, until a running program's top-level window is in a state
// the end-to-end scripts go on from, instead of sleeping for a time a busy machine can outrun.
// Usage: await-window [--timeout SECONDS] TITLE [CONDITION...]
// TITLE is a window's exact title, or class:NAME for a window of that class (class:#32768, an
// open menu). With no condition, the window has only to be visible.
//   foreground   the window is the one keys go to
//   idle         its program has handled every message and waits for input
//   typing       keys go to it, into a text field (the open dialog's File name, say)
//   shows=TEXT   a visible control in it shows a text that holds TEXT (the Filename field
//                after an open, a label of the page on show)
// Once they hold, the window's pending paints are done before it returns, so a screenshot
// shows what it shows. Exit status 0 then, 1 when the time runs out, 2 on a bad command line.
#include "ui/Win32.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};

std::string TextOf(HWND window) {
    // WM_GETTEXT crosses processes, GetWindowText does not for controls of another program.
    const auto length = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

struct TextSearch {
    const std::string* wanted;
    bool found;
};

BOOL CALLBACK FindText(HWND child, LPARAM parameter) {
    auto& search = *reinterpret_cast<TextSearch*>(parameter);
    search.found =
        IsWindowVisible(child) && TextOf(child).find(*search.wanted) != std::string::npos;
    return search.found ? FALSE : TRUE;
}

bool ShowsText(HWND window, const std::string& text) {
    TextSearch search{&text, false};
    EnumChildWindows(window, &FindText, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool IsIdle(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    const std::unique_ptr<void, HandleCloser> process(
        OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, processId));
    return process && WaitForInputIdle(process.get(), 0) == 0;
}

constexpr std::string_view kShows = "shows=";
constexpr std::string_view kClass = "class:";

// Whether the control with the keyboard focus in the window's thread is a text field.
bool TypingInto(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (GetForegroundWindow() != window ||
        !GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ||
        info.hwndFocus == nullptr)
        return false;
    char name[64] = {};
    GetClassNameA(info.hwndFocus, name, sizeof name);
    return std::string_view(name).ends_with("Edit") || std::string_view(name).ends_with("EDIT");
}

bool Holds(HWND window, const std::string& condition) {
    if (condition == "foreground")
        return GetForegroundWindow() == window;
    if (condition == "typing")
        return TypingInto(window);
    if (condition == "idle")
        return IsIdle(window);
    return ShowsText(window, condition.substr(kShows.size()));
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    double timeout = 30;
    if (arguments.size() >= 2 && arguments[0] == "--timeout") {
        timeout = std::atof(arguments[1].c_str());
        arguments.erase(arguments.begin(), arguments.begin() + 2);
    }
    if (arguments.empty()) {
        std::fprintf(stderr, "usage: await-window [--timeout SECONDS] TITLE [CONDITION...]\n");
        return 2;
    }
    const std::string title = arguments[0];
    const std::vector<std::string> conditions(arguments.begin() + 1, arguments.end());
    for (const std::string& condition : conditions) {
        if (condition != "foreground" && condition != "idle" && condition != "typing" &&
            !condition.starts_with(kShows)) {
            std::fprintf(stderr, "await-window: unknown condition %s\n", condition.c_str());
            return 2;
        }
    }
    const DWORD start = GetTickCount();
    for (;;) {
        // Found anew each time: a window may go and come back under the same title.
        const HWND window = title.starts_with(kClass)
                                ? FindWindowA(title.substr(kClass.size()).c_str(), nullptr)
                                : FindWindowA(nullptr, title.c_str());
        bool all = window != nullptr && IsWindowVisible(window);
        for (std::size_t i = 0; all && i < conditions.size(); ++i)
            all = Holds(window, conditions[i]);
        if (all) {
            // Across threads this waits for the program to paint what is due.
            RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            return 0;
        }
        if (GetTickCount() - start > static_cast<DWORD>(timeout * 1000)) {
            std::fprintf(stderr, "await-window: %s did not become", title.c_str());
            for (const std::string& condition : conditions)
                std::fprintf(stderr, " %s", condition.c_str());
            std::fprintf(stderr, " in %g s\n", timeout);
            return 1;
        }
        Sleep(20);
    }
}
