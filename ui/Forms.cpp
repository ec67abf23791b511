#include "ui/Forms.h"

#include "base/Exceptions.h"

namespace quillet::ui {

namespace {

constexpr const char* kFormClass = "QuilletForm";
constexpr const char* kTimerClass = "QuilletTimer";
constexpr UINT_PTR kTimerId = 1;

void RegisterClassOnce(const char* name, WNDPROC procedure, HBRUSH background) {
    WNDCLASSA existing{};
    if (GetClassInfoA(GetModuleHandleA(nullptr), name, &existing))
        return;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    RegisterClassA(&windowClass);
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

} // namespace

TForm::TForm(TComponent* owner) : TWinControl(owner) {
}

TForm::~TForm() {
    Application().FormDestroyed(*this);
    if (toolTips_ != nullptr)
        DestroyWindow(toolTips_);
}

namespace {

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

} // namespace

void TForm::CreateForm(const std::string& caption, int clientWidth, int clientHeight,
                       TBorderStyle border, TBorderIcons icons, bool stayOnTop) {
    RegisterClassOnce(kFormClass, DefWindowProcA, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    const DWORD style = FrameStyle(border, icons);
    const DWORD exStyle = FrameExStyle(border) | (stayOnTop ? WS_EX_TOPMOST : 0);
    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, style, menu_ != nullptr, exStyle);
    SetBounds(0, 0, frame.right - frame.left, frame.bottom - frame.top);
    CreateHandle(nullptr, kFormClass, style, exStyle, caption);
    Application().FormCreated(*this);
}

void TForm::SetBorderStyle(TBorderStyle border, TBorderIcons icons) {
    const int width = ClientWidth();
    const int height = ClientHeight();
    const DWORD visible = static_cast<DWORD>(GetWindowLongA(Handle(), GWL_STYLE)) & WS_VISIBLE;
    const DWORD topmost = static_cast<DWORD>(GetWindowLongA(Handle(), GWL_EXSTYLE)) & WS_EX_TOPMOST;
    SetWindowLongA(Handle(), GWL_STYLE, static_cast<LONG>(FrameStyle(border, icons) | visible));
    SetWindowLongA(Handle(), GWL_EXSTYLE, static_cast<LONG>(FrameExStyle(border) | topmost));
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

void TForm::Show() {
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
}

void TForm::Hide() {
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

    // The control that had the focus gets it back afterwards.
    HWND returnFocus = GetFocus();
    modal_ = true;
    modalResult_ = mrNone;
    Show();
    // Keys must come here, not stay with a control of the window that was left.
    HWND focus = GetFocus();
    if (focus != Handle() && !IsChild(Handle(), focus))
        ::SetFocus(Handle());
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
    Hide();
    modal_ = false;
    if (returnFocus != nullptr && IsWindow(returnFocus) && IsWindowVisible(returnFocus)) {
        SetActiveWindow(GetAncestor(returnFocus, GA_ROOT));
        ::SetFocus(returnFocus);
    }
    return modalResult_;
}

void TForm::Close() {
    SendMessageA(Handle(), WM_CLOSE, 0, 0);
}

std::optional<LRESULT> TForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        if (background_.Get() == nullptr)
            return std::nullopt;
        {
            RECT r{};
            GetClientRect(Handle(), &r);
            FillRect(reinterpret_cast<HDC>(wParam), &r, background_.Get());
        }
        return 1;
    case DM_GETDEFID:
        if (defaultButton_ != nullptr && defaultButton_->Enabled())
            return MAKELRESULT(GetDlgCtrlID(defaultButton_->Handle()), DC_HASDEFID);
        return 0;
    case WM_COMMAND:
        if (lParam == 0 && HIWORD(wParam) == 0 && LOWORD(wParam) == IDCANCEL) {
            if (cancelButton_ != nullptr && cancelButton_->Enabled())
                cancelButton_->Click();
            return 0;
        }
        if (lParam == 0 && HIWORD(wParam) == 0 && LOWORD(wParam) == IDOK) {
            if (defaultButton_ != nullptr && defaultButton_->Enabled())
                defaultButton_->Click();
            return 0;
        }
        if (lParam == 0 && HIWORD(wParam) == 0 && OnMenuCommand) {
            OnMenuCommand(LOWORD(wParam));
            return 0;
        }
        if (lParam == 0 && HIWORD(wParam) == 0 && defaultButton_ != nullptr &&
            static_cast<int>(LOWORD(wParam)) == GetDlgCtrlID(defaultButton_->Handle())) {
            // Enter pressed the default button through the dialog manager.
            if (defaultButton_->Enabled())
                defaultButton_->Click();
            return 0;
        }
        return std::nullopt;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && OnActivate)
            OnActivate(this);
        return std::nullopt;
    case WM_GETDLGCODE:
        if (OnKeyPress)
            return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
        return std::nullopt;
    case WM_CHAR:
        if (OnKeyPress) {
            char key = static_cast<char>(wParam);
            OnKeyPress(this, key);
            return 0;
        }
        return std::nullopt;
    case WM_CLOSE: {
        bool canClose = true;
        if (OnCloseQuery)
            OnCloseQuery(this, canClose);
        if (!canClose)
            return 0;
        if (modal_) {
            modalResult_ = mrCancel;
        } else if (Application().MainForm() == this) {
            Application().Terminate();
        } else {
            Hide();
        }
        return 0;
    }
    default:
        return std::nullopt;
    }
}

void TForm::EnsureToolTips() {
    if (toolTips_ != nullptr)
        return;
    toolTips_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                Handle(), nullptr, GetModuleHandleA(nullptr), nullptr);
}

void TForm::UpdateHint(TWinControl& control) {
    EnsureToolTips();
    TTTOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = Handle();
    tool.uId = reinterpret_cast<UINT_PTR>(control.Handle());
    std::string text = control.Hint();
    tool.lpszText = text.data();
    SendMessageA(toolTips_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    if (control.ShowHint() && !text.empty())
        SendMessageA(toolTips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

TTimer::TTimer(TComponent* owner, UINT interval) : TComponent(owner), interval_(interval) {
    RegisterClassOnce(kTimerClass, &WindowProc, nullptr);
    window_ = CreateWindowExA(0, kTimerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TTimer::~TTimer() {
    KillTimer(window_, kTimerId);
    DestroyWindow(window_);
}

void TTimer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    KillTimer(window_, kTimerId);
    if (enabled)
        SetTimer(window_, kTimerId, interval_, nullptr);
}

LRESULT CALLBACK TTimer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
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
}

TMainMenu::~TMainMenu() {
    if (menu_ != nullptr)
        DestroyMenu(menu_);
}

void TMainMenu::AddMenu(const std::string& caption,
                        const std::vector<std::pair<std::string, int>>& items) {
    HMENU popup = CreatePopupMenu();
    for (const auto& [text, command] : items) {
        if (text == "-")
            AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuA(popup, MF_STRING, static_cast<UINT_PTR>(command), text.c_str());
    }
    AppendMenuA(menu_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), caption.c_str());
}

} // namespace quillet::ui
