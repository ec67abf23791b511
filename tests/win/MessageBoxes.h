// Answers the program's message boxes and file dialogs from inside the test, after reading
// them off the real box: its caption, its text and its buttons.
#pragma once

#include "ui/Win32.h"

#include <functional>
#include <string>
#include <vector>

namespace quillet::testing {

struct SeenBox {
    std::string caption;
    std::string text; // empty for an open or save dialog
    bool hasCancel = false;
};

class MessageBoxAnswerer {
public:
    // Every box shown while this object lives is answered with `answer` (IDOK, IDCANCEL, ...).
    explicit MessageBoxAnswerer(int answer);
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    const std::vector<SeenBox>& Seen() const { return seen_; }
    // Called for each box as it comes up, before it is answered.
    std::function<void(const SeenBox& box)> OnSeen;
    // When set, chooses each box's answer instead of the one given at construction: a file
    // dialog answered IDOK takes the name preset in it.
    std::function<int(const SeenBox& box)> AnswerFor;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK IdleHook(int code, WPARAM wParam, LPARAM lParam);
    HHOOK hook_;
    HHOOK idleHook_;
    // File dialogs take IDOK only once they are set up, that is once their loop is idle; and
    // they are activated again after a question of their own, which is no new dialog.
    std::vector<std::pair<HWND, int>> waiting_;
    std::vector<HWND> fileDialogs_;
    int answer_;
    MessageBoxAnswerer* previous_;
    std::vector<SeenBox> seen_;
};

// Handles the messages waiting in the queue through the program's own loop, for about
// `milliseconds`; true when the program asked to end meanwhile.
bool PumpMessages(int milliseconds = 0);

// A key pressed and released, as the keyboard driver queues it for `window` (the window with
// the focus): with Alt held, the system-key messages that make Alt+letter.
void PressKey(HWND window, WORD virtualKey, bool alt = false);
// The same with Shift or Ctrl (`held`) down while the program's loop handles it.
void PressKeyWith(WORD held, HWND window, WORD virtualKey);

} // namespace quillet::testing
