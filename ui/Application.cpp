#include "ui/Application.h"

#include "base/Exceptions.h"
#include "ui/Forms.h"

#include <algorithm>

namespace quillet::ui {

TApplication& Application() {
    static TApplication application;
    return application;
}

char DecimalSeparator() {
    char separator[8] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, sizeof separator) > 1)
        return separator[0];
    return '.';
}

void TApplication::FormCreated(TForm& form) {
    forms_.push_back(&form);
    if (mainForm_ == nullptr)
        mainForm_ = &form;
}

void TApplication::FormDestroyed(TForm& form) {
    std::erase(forms_, &form);
    if (mainForm_ == &form)
        mainForm_ = nullptr;
}

void TApplication::Run() {
    terminated_ = false;
    if (mainForm_ != nullptr)
        mainForm_->Show();
    while (!terminated_)
        HandleMessage();
}

bool TApplication::HandleMessage() {
    MSG message{};
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        Idle();
        return true;
    }
    if (message.message == WM_QUIT) {
        terminated_ = true;
        return false;
    }
    Dispatch(message);
    return true;
}

void TApplication::Dispatch(MSG& message) {
    try {
        if (OnMessage && OnMessage(message))
            return;
        // Tab, Enter and Escape work in every form as in a dialog box.
        HWND top = GetAncestor(message.hwnd, GA_ROOT);
        if (top != nullptr && dynamic_cast<TForm*>(ControlOf(top)) != nullptr &&
            IsDialogMessageA(top, &message))
            return;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    } catch (const std::exception& error) {
        HandleException(error);
    }
}

HWND TApplication::Handle() {
    if (handle_ != nullptr)
        return handle_;
    constexpr const char* kClass = "QuilletApplication";
    WNDCLASSA windowClass{};
    if (!GetClassInfoA(GetModuleHandleA(nullptr), kClass, &windowClass)) {
        windowClass.lpfnWndProc = &WindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClass;
        RegisterClassA(&windowClass);
    }
    // A top-level window, not a message-only one: only top-level windows hear WM_ACTIVATEAPP.
    handle_ = CreateWindowExA(WS_EX_TOOLWINDOW, kClass, title_.c_str(), WS_POPUP, 0, 0, 0, 0,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (handle_ == nullptr)
        throw Exception("Error creating window");
    return handle_;
}

LRESULT CALLBACK TApplication::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATEAPP) {
        TApplication& application = Application();
        if (application.OnMessage) {
            MSG sent{window, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
            try {
                application.OnMessage(sent);
            } catch (const std::exception& error) {
                application.HandleException(error);
            }
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void TApplication::SetCursorHidden(bool hidden) {
    cursorHidden_ = hidden;
    // Takes effect now; the windows keep it so on every WM_SETCURSOR.
    ::SetCursor(hidden ? nullptr : LoadCursor(nullptr, IDC_ARROW));
}

void TApplication::Idle() {
    bool done = true;
    if (OnIdle) {
        try {
            OnIdle(done);
        } catch (const std::exception& error) {
            HandleException(error);
        }
    }
    if (done)
        WaitMessage();
}

void TApplication::Terminate() {
    PostQuitMessage(0);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags) {
    HWND owner = GetActiveWindow();
    if (owner == nullptr && mainForm_ != nullptr)
        owner = mainForm_->Handle();
    return ::MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

void TApplication::HandleException(const std::exception& error) {
    if (OnException) {
        OnException(error);
        return;
    }
    ShowException(error);
}

void TApplication::ShowException(const std::exception& error) {
    std::string text = error.what();
    if (!text.empty() && text.back() != '.')
        text += '.';
    MessageBox(text, title_, MB_OK | MB_ICONERROR);
}

void TApplication::HintsChanged(TWinControl& control) {
    for (TForm* form : forms_) {
        if (IsChild(form->Handle(), control.Handle()))
            form->UpdateHint(control);
    }
}

} // namespace quillet::ui
