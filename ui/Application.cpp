#include "ui/Application.h"

#include "base/Exceptions.h"
#include "ui/Forms.h"
#include "ui/WindowClass.h"

#include <algorithm>

namespace quillet::ui {

namespace {

// Tells the application's window that posted calls are waiting.
constexpr UINT kRunPosted = WM_APP + 1;

} // namespace

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
        if (const auto hook = messageHooks_.Active(); hook && (*hook)(message))
            return;
        // Tab, Enter, Escape and the hot keys work in every form as in a dialog box; a form
        // looks first for what the dialog manager does not know, its pages' hot keys.
        HWND top = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
        if (auto* form = top != nullptr ? dynamic_cast<TForm*>(ControlOf(top)) : nullptr) {
            if (form->TranslateShortcut(message) || form->PreTranslateMessage(message) ||
                IsDialogMessageA(top, &message))
                return;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    } catch (const std::exception& error) {
        HandleException(error);
    }
}

void TApplication::Post(std::function<void()> call) {
    const HWND window = Handle();
    {
        const std::lock_guard lock(postedMutex_);
        posted_.push_back(std::move(call));
    }
    if (!PostMessageA(window, kRunPosted, 0, 0)) {
        // Each call has its message: without one, it would never run.
        const std::lock_guard lock(postedMutex_);
        posted_.pop_back();
        throw Exception("Cannot post a message: the message queue is full");
    }
}

void TApplication::RunPosted() {
    // One call a message: a call posted while another runs waits for its own message, behind
    // whatever the queue holds by then.
    std::function<void()> call;
    {
        const std::lock_guard lock(postedMutex_);
        if (posted_.empty())
            return;
        call = std::move(posted_.front());
        posted_.pop_front();
    }
    try {
        call();
    } catch (const std::exception& error) {
        HandleException(error);
    }
}

HWND TApplication::Handle() {
    if (handle_ != nullptr)
        return handle_;
    const char* windowClass = RegisterWindowClass("QuilletApplication", nullptr, &WindowProc);
    // A top-level window, not a message-only one: only top-level windows hear WM_ACTIVATEAPP,
    // and only they can own forms.
    handle_ = CreateWindowExA(WS_EX_TOOLWINDOW, windowClass, title_.c_str(), WS_POPUP, 0, 0, 0, 0,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (handle_ == nullptr)
        throw Exception("Error creating window");
    return handle_;
}

LRESULT CALLBACK TApplication::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TApplication& application = Application();
    if (message == kRunPosted) {
        application.RunPosted();
        return 0;
    }
    if (message == WM_ACTIVATEAPP) {
        if (const auto hook = application.messageHooks_.Active()) {
            MSG sent{window, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
            try {
                (*hook)(sent);
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
    if (const auto hook = idleHooks_.Active()) {
        try {
            (*hook)(done);
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
    // Never a hidden window: a box it owns would not be seen.
    HWND owner = GetActiveWindow();
    if ((owner == nullptr || !IsWindowVisible(owner)) && mainForm_ != nullptr)
        owner = mainForm_->Handle();
    if (owner == nullptr)
        owner = Handle();
    return ::MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

void TApplication::HandleException(const std::exception& error) {
    if (const auto hook = exceptionHooks_.Active()) {
        (*hook)(error);
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

} // namespace quillet::ui
