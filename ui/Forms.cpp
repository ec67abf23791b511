#include "ui/Forms.h"

#include "base/Exceptions.h"
#include "ui/WindowClass.h"

#include <shellapi.h>

namespace quillet::ui {

namespace {

constexpr UINT_PTR kTimerId = 1;

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

DWORD FrameStyle(TBorderStyle border, TBorderIcons icons) {
    DWORD style = WS_CLIPCHILDREN;
    if (border == TBorderStyle::None)
        return style | WS_POPUP;
    style |= WS_CAPTION;
    if (icons.systemMenu)
        style |= WS_SYSMENU;
    if (icons.minimize)
        style |= WS_MINIMIZEBOX;
    if (icons.maximize)
        style |= WS_MAXIMIZEBOX;
    if (border == TBorderStyle::Sizeable)
        style |= WS_THICKFRAME;
    if (border == TBorderStyle::Single || border == TBorderStyle::Dialog)
        style |= WS_BORDER;
    return style;
}

DWORD FrameExStyle(TBorderStyle border) {
    return WS_EX_CONTROLPARENT | (border == TBorderStyle::Dialog ? WS_EX_DLGMODALFRAME : 0);
}

// A control that can take the focus now.
bool CanTakeFocus(HWND window) {
    return window != nullptr && IsWindow(window) && IsWindowVisible(window) &&
           IsWindowEnabled(window);
}

} // namespace

TForm::TForm(TComponent* owner) : TWinControl(owner) {
}

TForm::~TForm() {
    // The windows go while this form is still a form: nothing they do on the way out can
    // reach a handler of a part of it already destroyed.
    DestroyHandle();
    Application().FormDestroyed(*this);
    if (toolTips_ != nullptr)
        DestroyWindow(toolTips_);
}

void TForm::CreateForm(const std::string& caption, int clientWidth, int clientHeight,
                       TBorderStyle border, TBorderIcons icons, bool stayOnTop, TForm* owner) {
    const DWORD style = FrameStyle(border, icons);
    // Every window of the program is owned by the application's window, so the program has
    // one task-bar button: the main form's, which asks for it.
    const bool mainForm = Application().MainForm() == nullptr;
    const DWORD exStyle =
        FrameExStyle(border) | (stayOnTop ? WS_EX_TOPMOST : 0) | (mainForm ? WS_EX_APPWINDOW : 0);
    hasCloseBox_ = border != TBorderStyle::None && icons.systemMenu;
    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, style, menu_ != nullptr, exStyle);
    SetBounds(0, 0, frame.right - frame.left, frame.bottom - frame.top);
    CreateHandle(nullptr, nullptr, style, exStyle, caption,
                 owner != nullptr ? owner->Handle() : Application().Handle());
    Application().FormCreated(*this);
}

void TForm::SetBorderStyle(TBorderStyle border, TBorderIcons icons) {
    const int width = ClientWidth();
    const int height = ClientHeight();
    const auto currentExStyle = static_cast<DWORD>(GetWindowLongA(Handle(), GWL_EXSTYLE));
    const DWORD visible = static_cast<DWORD>(GetWindowLongA(Handle(), GWL_STYLE)) & WS_VISIBLE;
    const DWORD kept = currentExStyle & (WS_EX_TOPMOST | WS_EX_APPWINDOW);
    SetWindowLongA(Handle(), GWL_STYLE, static_cast<LONG>(FrameStyle(border, icons) | visible));
    SetWindowLongA(Handle(), GWL_EXSTYLE, static_cast<LONG>(FrameExStyle(border) | kept));
    hasCloseBox_ = border != TBorderStyle::None && icons.systemMenu;
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    SetClientSize(width, height);
}

void TForm::SetStayOnTop(bool stayOnTop) {
    SetWindowPos(Handle(), stayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TForm::SetClientSize(int width, int height) {
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(Handle(), GWL_STYLE)),
                       menu_ != nullptr, static_cast<DWORD>(GetWindowLongA(Handle(), GWL_EXSTYLE)));
    SetWindowPos(Handle(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int TForm::ClientWidth() const {
    RECT r{};
    GetClientRect(Handle(), &r);
    return r.right;
}

int TForm::ClientHeight() const {
    RECT r{};
    GetClientRect(Handle(), &r);
    return r.bottom;
}

void TForm::SetPosition(int left, int top) {
    SetWindowPos(Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::CenterOnScreen() {
    RECT r{};
    GetWindowRect(Handle(), &r);
    const int left = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
    SetPosition(left, top);
}

void TForm::SetIcon(HICON icon) {
    SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void TForm::SetColor(COLORREF color) {
    background_ = GdiHandle<HBRUSH>(CreateSolidBrush(color), true);
    Invalidate();
}

void TForm::SetMenu(HMENU menu) {
    // The client area keeps its size when the menu bar arrives.
    const int width = ClientWidth();
    const int height = ClientHeight();
    menu_ = menu;
    ::SetMenu(Handle(), menu);
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(Handle(), GWL_STYLE)), TRUE,
                       static_cast<DWORD>(GetWindowLongA(Handle(), GWL_EXSTYLE)));
    SetWindowPos(Handle(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::SetDefaultButton(TBitBtn* button) {
    if (defaultButton_ != nullptr)
        defaultButton_->SetDefault(false);
    defaultButton_ = button;
    if (button != nullptr)
        button->SetDefault(true);
}

void TForm::SetCancelButton(TBitBtn* button) {
    if (cancelButton_ != nullptr)
        cancelButton_->SetCancel(false);
    cancelButton_ = button;
    if (button != nullptr)
        button->SetCancel(true);
}

void TForm::SetAcceptFiles(bool accept) {
    DragAcceptFiles(Handle(), accept ? TRUE : FALSE);
}

void TForm::AddShortcut(char key, int command) {
    shortcuts_.push_back(
        ACCEL{FCONTROL | FVIRTKEY, static_cast<WORD>(key), static_cast<WORD>(command)});
    accelerators_.reset(
        CreateAcceleratorTableA(shortcuts_.data(), static_cast<int>(shortcuts_.size())));
    if (!accelerators_)
        throw Exception("Out of system resources");
}

bool TForm::TranslateShortcut(MSG& message) {
    return accelerators_ && TranslateAcceleratorA(Handle(), accelerators_.get(), &message) != 0;
}

void TForm::OnSize(int, int) {
    if (OnResize)
        OnResize(this);
}

void TForm::Show() {
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
}

void TForm::Hide() {
    // A window that belongs to a form gives the activation back to it before it goes, so that
    // Windows does not hand it to whatever window happens to be next.
    if (GetActiveWindow() == Handle()) {
        HWND owner = GetWindow(Handle(), GW_OWNER);
        if (owner != nullptr && IsWindowVisible(owner) && IsWindowEnabled(owner))
            SetActiveWindow(owner);
    }
    ShowWindow(Handle(), SW_HIDE);
}

int TForm::ShowModal() {
    // Every other window of the program waits while this one is up.
    std::vector<HWND> disabled;
    EnumThreadWindows(GetCurrentThreadId(), &CollectWindow, reinterpret_cast<LPARAM>(&disabled));
    std::erase_if(disabled, [&](HWND w) {
        return w == Handle() || !IsWindowEnabled(w) || !IsWindowVisible(w);
    });
    for (HWND window : disabled)
        EnableWindow(window, FALSE);

    // The window that was active, and the control in it that had the focus, get them back.
    HWND returnFocus = GetFocus();
    HWND returnActive = GetActiveWindow();
    modal_ = true;
    modalResult_ = mrNone;
    Show();
    // Keys must come here, not stay with a control of the window that was left.
    HWND focus = GetFocus();
    if (focus != Handle() && !IsChild(Handle(), focus))
        RestoreFocus();
    // The application's loop, so that its message hook, idle event and exception event serve
    // modal forms too.
    while (modalResult_ == mrNone) {
        if (!Application().HandleMessage()) {
            PostQuitMessage(0);
            modalResult_ = mrCancel;
        }
    }
    for (HWND window : disabled)
        EnableWindow(window, TRUE);
    // Activate the window we came from before this one hides, so that Windows does not hand
    // the activation to whatever window happens to be next.
    HWND back = returnActive != nullptr && returnActive != Handle() && IsWindow(returnActive)
                    ? returnActive
                    : (returnFocus != nullptr ? GetAncestor(returnFocus, GA_ROOT) : nullptr);
    if (back != nullptr && IsWindowVisible(back))
        SetActiveWindow(back);
    Hide();
    modal_ = false;
    if (CanTakeFocus(returnFocus)) {
        ::SetFocus(returnFocus);
    } else if (back != nullptr) {
        if (auto* form = dynamic_cast<TForm*>(ControlOf(back)))
            form->RestoreFocus();
    }
    return modalResult_;
}

void TForm::Close() {
    SendMessageA(Handle(), WM_CLOSE, 0, 0);
}

HWND TForm::FocusTarget() const {
    if (CanTakeFocus(lastFocus_) && IsChild(Handle(), lastFocus_))
        return lastFocus_;
    const std::vector<TWinControl*> order = TabOrder();
    return order.empty() ? nullptr : order.front()->Handle();
}

void TForm::RestoreFocus() {
    if (IsIconic(Handle()))
        return;
    if (HWND target = FocusTarget())
        ::SetFocus(target);
    else if (GetFocus() != Handle())
        ::SetFocus(Handle());
}

bool TForm::OnEraseBackground(HDC dc) {
    if (background_.Get() == nullptr)
        return false;
    RECT r{};
    GetClientRect(Handle(), &r);
    FillRect(dc, &r, background_.Get());
    return true;
}

std::optional<int> TForm::OnGetDefaultId() {
    if (defaultButton_ != nullptr && defaultButton_->Enabled())
        return defaultButton_->Id();
    return std::nullopt;
}

bool TForm::OnCommand(int id, int) {
    if (id == IDCANCEL) {
        // Escape: the cancel button; without one, what the close box does, if there is one.
        if (cancelButton_ != nullptr) {
            if (cancelButton_->Enabled())
                cancelButton_->Click();
        } else if (hasCloseBox_ && modal_) {
            Close();
        }
        return true;
    }
    if (id == IDOK) {
        // Enter when no button is the default one: nothing to press.
        if (defaultButton_ != nullptr && defaultButton_->Enabled())
            defaultButton_->Click();
        return true;
    }
    if (OnMenuCommand) {
        OnMenuCommand(id);
        return true;
    }
    return false;
}

void TForm::Activate() {
    OnActivate.Emit(this);
}

bool TForm::OnWindowActivate(bool active, bool minimized) {
    if (!active) {
        // Remember where the focus was, to put it back when the form is active again.
        if (HWND focus = GetFocus(); focus != nullptr && IsChild(Handle(), focus))
            lastFocus_ = focus;
        return false;
    }
    Activate();
    if (minimized)
        return false;
    // Instead of the focus on the bare form, where no key finds a control: the control that
    // had it, or the first one.
    HWND focus = GetFocus();
    if (focus == nullptr || (focus != Handle() && !IsChild(Handle(), focus)) || focus == Handle())
        RestoreFocus();
    return true;
}

void TForm::OnSetFocus(HWND) {
    // The bare form hands the focus on to one of its controls, when it has any that can take
    // it; a form with none (the full-screen placeholder) keeps it and gets the keys itself.
    if (HWND target = FocusTarget())
        ::SetFocus(target);
}

UINT TForm::OnGetDlgCode(UINT standard) {
    if (OnKeyPress)
        return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    return standard;
}

bool TForm::OnChar(char& key) {
    if (!OnKeyPress)
        return false;
    OnKeyPress(this, key);
    return true;
}

bool TForm::OnClose() {
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, canClose);
    if (!canClose)
        return true;
    if (modal_) {
        modalResult_ = mrCancel;
    } else if (Application().MainForm() == this) {
        Application().Terminate();
    } else {
        Hide();
    }
    return true;
}

bool TForm::OnDropFiles(const std::vector<std::string>& files) {
    if (!OnFilesDropped)
        return false;
    OnFilesDropped(files);
    return true;
}

void TForm::ForEachControl(const std::function<bool(TWinControl&)>& visit) {
    // Breadth over the ownership tree: forms own their controls, page controls their pages.
    std::vector<TComponent*> pending{this};
    while (!pending.empty()) {
        TComponent* component = pending.back();
        pending.pop_back();
        for (int i = 0; i < component->ComponentCount(); ++i) {
            TComponent& owned = component->Components(i);
            if (auto* control = dynamic_cast<TWinControl*>(&owned); control && !visit(*control))
                return;
            pending.push_back(&owned);
        }
    }
}

std::vector<TWinControl*> TForm::TabOrder() const {
    std::vector<TWinControl*> order;
    const auto visit = [&order](const auto& self, const TWinControl& container) -> void {
        for (TWinControl* child : container.Children()) {
            HWND window = child->Handle();
            if (window == nullptr || !IsWindowVisible(window) || !IsWindowEnabled(window))
                continue;
            if (GetWindowLongA(window, GWL_STYLE) & WS_TABSTOP)
                order.push_back(child);
            self(self, *child);
        }
    };
    visit(visit, *this);
    return order;
}

bool TForm::MoveFocus(bool backwards) {
    const std::vector<TWinControl*> order = TabOrder();
    if (order.empty())
        return false;
    // Where the focus is: the control that has it, or the one it is inside of.
    HWND focus = GetFocus();
    auto current = order.end();
    for (auto it = order.begin(); it != order.end(); ++it) {
        if ((*it)->Handle() == focus || IsChild((*it)->Handle(), focus))
            current = it;
    }
    TWinControl* next = nullptr;
    if (current == order.end())
        next = backwards ? order.back() : order.front();
    else if (backwards)
        next = current == order.begin() ? order.back() : *std::prev(current);
    else
        next = std::next(current) == order.end() ? order.front() : *std::next(current);
    next->SetFocus();
    // As in a dialog box, a text field reached by Tab has all its text selected.
    if (SendMessageA(next->Handle(), WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        SendMessageA(next->Handle(), EM_SETSEL, 0, -1);
    return true;
}

bool TForm::PreTranslateMessage(const MSG& message) {
    if (message.message == WM_KEYDOWN && message.wParam == VK_TAB &&
        (GetKeyState(VK_CONTROL) & 0x8000) == 0 && (GetKeyState(VK_MENU) & 0x8000) == 0) {
        // A control that wants Tab for itself (the console) keeps it.
        MSG asked = message;
        const auto wanted =
            SendMessageA(message.hwnd, WM_GETDLGCODE, VK_TAB, reinterpret_cast<LPARAM>(&asked));
        if (wanted & (DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE))
            return false;
        return MoveFocus((GetKeyState(VK_SHIFT) & 0x8000) != 0);
    }
    if (message.message != WM_SYSCHAR)
        return false;
    const char key = static_cast<char>(message.wParam);
    bool handled = false;
    ForEachControl([&](TWinControl& control) {
        auto* pages = dynamic_cast<TPageControl*>(&control);
        if (pages != nullptr && pages->Handle() != nullptr && IsWindowVisible(pages->Handle()) &&
            pages->Enabled() && pages->SelectByHotKey(key))
            handled = true;
        return !handled;
    });
    return handled;
}

void TForm::EnsureToolTips() {
    if (toolTips_ != nullptr)
        return;
    toolTips_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                Handle(), nullptr, GetModuleHandleA(nullptr), nullptr);
    if (toolTips_ == nullptr)
        throw Exception("Error creating window");
}

void TForm::UpdateHint(TWinControl& control) {
    EnsureToolTips();
    std::string text = control.Hint();
    const bool wanted = control.ShowHint() && !text.empty();
    HWND parent = GetParent(control.Handle());

    // Two tools per control: one on the control itself, which hears the mouse while the
    // control is enabled, and one on its place in the parent, which hears it while the
    // control is disabled (Windows then sends the mouse's messages to the parent).
    TTTOOLINFOA onControl{};
    onControl.cbSize = TTTOOLINFOA_V1_SIZE;
    onControl.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    onControl.hwnd = parent;
    onControl.uId = reinterpret_cast<UINT_PTR>(control.Handle());

    TTTOOLINFOA onPlace{};
    onPlace.cbSize = TTTOOLINFOA_V1_SIZE;
    onPlace.uFlags = TTF_SUBCLASS;
    onPlace.hwnd = parent;
    onPlace.uId = static_cast<UINT_PTR>(control.Id());
    GetWindowRect(control.Handle(), &onPlace.rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&onPlace.rect), 2);

    const auto apply = [&](TTTOOLINFOA& tool, bool present) {
        char current[256] = {};
        TTTOOLINFOA known = tool;
        known.lpszText = current;
        const bool exists =
            SendMessageA(toolTips_, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&known)) != FALSE;
        tool.lpszText = text.data();
        if (!present) {
            if (exists)
                SendMessageA(toolTips_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
        } else if (!exists) {
            if (!SendMessageA(toolTips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)))
                throw Exception("Error creating window");
        } else {
            // A new text or place for a tool that stays: a tip on show stays up.
            if (text != current)
                SendMessageA(toolTips_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
            if (!EqualRect(&known.rect, &tool.rect) && !(tool.uFlags & TTF_IDISHWND))
                SendMessageA(toolTips_, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
        }
    };
    apply(onControl, wanted);
    apply(onPlace, wanted && control.Visible() && !control.Enabled());
}

TTimer::TTimer(TComponent* owner, UINT interval) : TComponent(owner), interval_(interval) {
    const char* windowClass = RegisterWindowClass("QuilletTimer", nullptr, &WindowProc);
    // `this` travels with the creation: the window knows its timer from its first message.
    window_ = CreateWindowExA(0, windowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleA(nullptr), this);
    if (window_ == nullptr)
        throw Exception("Error creating window");
}

TTimer::~TTimer() {
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    KillTimer(window_, kTimerId);
    DestroyWindow(window_);
}

void TTimer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    // Killing a timer that does not run fails harmlessly.
    KillTimer(window_, kTimerId);
    if (enabled && SetTimer(window_, kTimerId, interval_, nullptr) == 0)
        throw Exception("Not enough timers available");
}

LRESULT CALLBACK TTimer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    if (message == WM_TIMER) {
        auto* timer = reinterpret_cast<TTimer*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (timer != nullptr && timer->enabled_ && timer->OnTimer) {
            try {
                timer->OnTimer(timer);
            } catch (const std::exception& error) {
                Application().HandleException(error);
            }
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

TMainMenu::TMainMenu() : menu_(CreateMenu()) {
    if (menu_ == nullptr)
        throw Exception("Out of system resources");
}

TMainMenu::~TMainMenu() {
    if (menu_ != nullptr)
        DestroyMenu(menu_);
}

void TMainMenu::AddMenu(const std::string& caption,
                        const std::vector<std::pair<std::string, int>>& items) {
    HMENU popup = CreatePopupMenu();
    if (popup == nullptr)
        throw Exception("Out of system resources");
    for (const auto& [text, command] : items) {
        if (text == "-")
            AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuA(popup, MF_STRING, static_cast<UINT_PTR>(command), text.c_str());
    }
    AppendMenuA(menu_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), caption.c_str());
}

} // namespace quillet::ui
