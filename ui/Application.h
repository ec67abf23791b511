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

private:
    bool HandleMessage(MSG& message);
    void Idle();

    std::string title_;
    TForm* mainForm_ = nullptr;
    std::vector<TForm*> forms_;
    bool terminated_ = false;
};

// The program's one application object.
TApplication& Application();

// The decimal separator of the user's regional settings.
char DecimalSeparator();

} // namespace quillet::ui
