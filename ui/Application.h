// The application object: title, message loop, and where errors that escape a handler end up.
#pragma once

#include "ui/Win32.h"

#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace quillet::ui {

class TForm;
class TWinControl;

class TApplication {
public:
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title) { title_ = title; }

    // The first form made becomes the main form; it is shown when Run starts.
    TForm* MainForm() const { return mainForm_; }
    void FormCreated(TForm& form);
    void FormDestroyed(TForm& form);

    // Runs the message loop until Terminate, or until the main form closes.
    void Run();
    // Handles one message from the queue, or runs the idle event and waits when there is none.
    // Modal forms run their loops on this too, so the hooks below see every message.
    // False when the message was WM_QUIT.
    bool HandleMessage();
    // Ends the message loop after the message being handled.
    void Terminate();
    bool Terminated() const { return terminated_; }

    // A message box owned by the application's active window.
    int MessageBox(const std::string& text, const std::string& caption, UINT flags);

    // Shows an error that escaped a handler, unless an exception event takes it.
    void HandleException(const std::exception& error);
    void ShowException(const std::exception& error);

    // Replaceable hooks of the message loop.
    std::function<void(const std::exception& error)> OnException;
    std::function<bool(MSG& message)> OnMessage; // true: handled, not dispatched
    std::function<void(bool& done)> OnIdle;      // done: wait for the next message

    // A control's hint or its display changed.
    void HintsChanged(TWinControl& control);

    // The application's own hidden top-level window. Windows sends WM_ACTIVATEAPP straight to
    // window procedures, never through the queue; this window hands it to OnMessage as well,
    // so a message hook learns when the user leaves the program and comes back.
    HWND Handle();

    // The mouse pointer over every window of the program: hidden, or each window's own.
    bool CursorHidden() const { return cursorHidden_; }
    void SetCursorHidden(bool hidden);

private:
    void Dispatch(MSG& message);
    void Idle();
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::string title_;
    TForm* mainForm_ = nullptr;
    std::vector<TForm*> forms_;
    bool terminated_ = false;
    bool cursorHidden_ = false;
    HWND handle_ = nullptr;
};

// The program's one application object.
TApplication& Application();

// The decimal separator of the user's regional settings.
char DecimalSeparator();

} // namespace quillet::ui
