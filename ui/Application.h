// The application object: title, message loop, and where errors that escape a handler end up.
#pragma once

#include "base/Signal.h"
#include "ui/Win32.h"

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace quillet::ui {

class TForm;
class TWinControl;

// Keeps a hook of the message loop installed for as long as it lives.
using THookToken = TConnection;

// Hooks stack: the newest one is the one called, and when its token goes a hook leaves the
// stack, so the one installed before it is back, whatever was installed and removed meanwhile.
template <typename Hook> class THookStack final {
public:
    [[nodiscard]] THookToken Install(Hook hook) {
        state_->hooks.emplace_back(++state_->lastId, std::make_shared<Hook>(std::move(hook)));
        return THookToken(state_, state_->lastId);
    }
    bool Empty() const { return state_->hooks.empty(); }
    // The hook to call, kept alive while it runs even if it removes itself meanwhile.
    std::shared_ptr<Hook> Active() const {
        return state_->hooks.empty() ? nullptr : state_->hooks.back().second;
    }

private:
    struct State final : TConnection::Source {
        std::vector<std::pair<std::uint64_t, std::shared_ptr<Hook>>> hooks;
        std::uint64_t lastId = 0;

        void Disconnect(std::uint64_t id) override {
            std::erase_if(hooks, [id](const auto& entry) { return entry.first == id; });
        }
    };

    std::shared_ptr<State> state_ = std::make_shared<State>();
};

using TExceptionHook = std::function<void(const std::exception& error)>;
using TMessageHook = std::function<bool(MSG& message)>; // true: handled, not dispatched
using TIdleHook = std::function<void(bool& done)>;      // done: wait for the next message

class TApplication {
public:
    TApplication() = default;
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

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

    // The loop's exception event, message hook and idle event. Each stays installed while
    // its token lives.
    [[nodiscard]] THookToken InstallExceptionHook(TExceptionHook hook) {
        return exceptionHooks_.Install(std::move(hook));
    }
    [[nodiscard]] THookToken InstallMessageHook(TMessageHook hook) {
        return messageHooks_.Install(std::move(hook));
    }
    [[nodiscard]] THookToken InstallIdleHook(TIdleHook hook) {
        return idleHooks_.Install(std::move(hook));
    }
    bool HasExceptionHook() const { return !exceptionHooks_.Empty(); }
    bool HasMessageHook() const { return !messageHooks_.Empty(); }
    bool HasIdleHook() const { return !idleHooks_.Empty(); }

    // Runs `call` from the message loop, after the message being handled; an error it raises
    // is handled like one escaping a handler. Other threads may post too, once the
    // application's window exists (Handle, on the window's thread).
    void Post(std::function<void()> call);

    // The application's own hidden top-level window: the owner of every form, so the program
    // has one task-bar button. Windows sends WM_ACTIVATEAPP straight to window procedures,
    // never through the queue; this window hands it to the message hook as well, so a hook
    // learns when the user leaves the program and comes back.
    HWND Handle();

    // The mouse pointer over every window of the program: hidden, or each window's own.
    bool CursorHidden() const { return cursorHidden_; }
    void SetCursorHidden(bool hidden);

private:
    void Dispatch(MSG& message);
    void Idle();
    void RunPosted();
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::string title_;
    TForm* mainForm_ = nullptr;
    std::vector<TForm*> forms_;
    bool terminated_ = false;
    bool cursorHidden_ = false;
    HWND handle_ = nullptr;
    THookStack<TExceptionHook> exceptionHooks_;
    THookStack<TMessageHook> messageHooks_;
    THookStack<TIdleHook> idleHooks_;
    std::mutex postedMutex_; // worker threads post their results
    std::deque<std::function<void()>> posted_;
};

// The program's one application object.
TApplication& Application();

// The decimal separator of the user's regional settings.
char DecimalSeparator();

} // namespace quillet::ui
