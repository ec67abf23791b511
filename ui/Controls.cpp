#include "ui/Controls.h"

#include "ui/Application.h"

#include <algorithm>

namespace quillet::ui {

namespace {

constexpr const char* kControlProperty = "Quillet.Control";
constexpr const char* kPanelClass = "QuilletPanel";

void RegisterPanelClass() {
    static const bool registered = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kPanelClass;
        return RegisterClassA(&windowClass) != 0;
    }();
    (void)registered;
}

int RectWidth(const RECT& r) {
    return r.right - r.left;
}
int RectHeight(const RECT& r) {
    return r.bottom - r.top;
}

} // namespace

TWinControl* ControlOf(HWND window) {
    return window == nullptr ? nullptr
                             : static_cast<TWinControl*>(GetPropA(window, kControlProperty));
}

TWinControl::TWinControl(TComponent* owner) : TComponent(owner) {
    font_.OnChange = [this] { FontChanged(); };
}

TWinControl::~TWinControl() {
    if (handle_ != nullptr) {
        // Children are destroyed with their windows' parent; this object no longer answers.
        SetWindowLongPtrA(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        RemovePropA(handle_, kControlProperty);
        if (IsWindow(handle_))
            DestroyWindow(handle_);
    }
}

void TWinControl::CreateHandle(TWinControl* parent, const char* className, DWORD style,
                               DWORD exStyle, const std::string& text) {
    if (className == nullptr) {
        RegisterPanelClass();
        className = kPanelClass;
    }
    parent_ = parent;
    if (parent != nullptr) {
        style |= WS_CHILD;
        font_.Set(parent->font_.Name(), parent->font_.Height(), parent->font_.Style());
    }
    handle_ = CreateWindowExA(exStyle, className, text.c_str(), style, left_, top_, width_, height_,
                              parent != nullptr ? parent->handle_ : nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    if (handle_ == nullptr)
        throw Exception("Error creating window");
    SetPropA(handle_, kControlProperty, this);
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc)));
    FontChanged();
}

LRESULT CALLBACK TWinControl::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TWinControl* control = ControlOf(window);
    if (control == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
    // Exceptions must not unwind through the system's frames: they end the handler here and
    // are shown, and the program goes on.
    try {
        return control->Dispatch(message, wParam, lParam);
    } catch (const std::exception& error) {
        Application().HandleException(error);
    }
    return 0;
}

LRESULT TWinControl::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (TWinControl* child = ControlOf(reinterpret_cast<HWND>(lParam));
            child && child != this) {
            child->HandleCommand(HIWORD(wParam));
            return 0;
        }
        break;
    case WM_NOTIFY: {
        auto& header = *reinterpret_cast<NMHDR*>(lParam);
        if (TWinControl* child = ControlOf(header.hwndFrom); child && child != this) {
            if (auto result = child->HandleNotify(header))
                return *result;
        }
        break;
    }
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (TWinControl* child = ControlOf(item.hwndItem); child && child->HandleDrawItem(item))
            return TRUE;
        break;
    }
    case WM_SETFOCUS:
        FocusMoved(reinterpret_cast<HWND>(wParam), true);
        break;
    case WM_KILLFOCUS:
        FocusMoved(reinterpret_cast<HWND>(wParam), false);
        break;
    case WM_SETCURSOR:
        if (Application().CursorHidden()) {
            ::SetCursor(nullptr);
            return TRUE;
        }
        break;
    default:
        break;
    }
    if (auto handled = HandleMessage(message, wParam, lParam))
        return *handled;
    return DefaultHandler(message, wParam, lParam);
}

void TWinControl::FocusMoved(HWND other, bool entering) {
    // This control and each container around it that the focus enters or leaves as a whole.
    for (TWinControl* control = this; control != nullptr; control = control->parent_) {
        if (control != this && other != nullptr && IsChild(control->handle_, other))
            break;
        const TNotifyEvent& event = entering ? control->OnEnter : control->OnExit;
        if (event)
            event(control);
    }
}

LRESULT TWinControl::DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(original_, handle_, message, wParam, lParam);
}

std::optional<LRESULT> TWinControl::HandleMessage(UINT, WPARAM, LPARAM) {
    return std::nullopt;
}

void TWinControl::HandleCommand(WORD) {
}

std::optional<LRESULT> TWinControl::HandleNotify(NMHDR&) {
    return std::nullopt;
}

bool TWinControl::HandleDrawItem(const DRAWITEMSTRUCT&) {
    return false;
}

void TWinControl::FontChanged() {
    if (handle_ != nullptr)
        SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), TRUE);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (handle_ != nullptr)
        MoveWindow(handle_, left, top, width, height, TRUE);
}

std::string TWinControl::Caption() const {
    const int length = GetWindowTextLengthA(handle_);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    GetWindowTextA(handle_, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

void TWinControl::SetCaption(const std::string& caption) {
    SetWindowTextA(handle_, caption.c_str());
}

bool TWinControl::Visible() const {
    return (GetWindowLongA(handle_, GWL_STYLE) & WS_VISIBLE) != 0;
}

void TWinControl::SetVisible(bool visible) {
    ShowWindow(handle_, visible ? SW_SHOWNA : SW_HIDE);
}

bool TWinControl::Enabled() const {
    return IsWindowEnabled(handle_) != FALSE;
}

void TWinControl::SetEnabled(bool enabled) {
    EnableWindow(handle_, enabled ? TRUE : FALSE);
}

void TWinControl::SetFocus() {
    ::SetFocus(handle_);
}

void TWinControl::SetHint(const std::string& hint) {
    hint_ = hint;
    Application().HintsChanged(*this);
}

void TWinControl::SetShowHint(bool show) {
    showHint_ = show;
    Application().HintsChanged(*this);
}

void TWinControl::Invalidate() {
    InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::Repaint() {
    Invalidate();
    UpdateWindow(handle_);
}

TLabel::TLabel(TComponent* owner, TWinControl& parent, int left, int top,
               const std::string& caption, std::optional<SIZE> fixedSize)
    : TWinControl(owner), autoSize_(!fixedSize) {
    SetBounds(left, top, fixedSize ? fixedSize->cx : 1, fixedSize ? fixedSize->cy : 1);
    CreateHandle(&parent, "STATIC", WS_VISIBLE | SS_LEFT | SS_NOTIFY, 0, caption);
    Font().OnChange = [this] {
        FontChanged();
        AutoSize();
    };
    AutoSize();
}

void TLabel::SetCaption(const std::string& caption) {
    TWinControl::SetCaption(caption);
    AutoSize();
}

void TLabel::AutoSize() {
    if (!autoSize_)
        return;
    HDC dc = GetDC(Handle());
    HGDIOBJ old = SelectObject(dc, Font().Handle());
    const std::string text = Caption();
    RECT r{0, 0, 0, 0};
    DrawTextA(dc, text.empty() ? " " : text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(Handle(), dc);
    SetBounds(Left(), Top(), r.right, r.bottom);
}

TEdit::TEdit(TComponent* owner, TWinControl& parent, RECT bounds, bool multiLine)
    : TWinControl(owner), multiLine_(multiLine) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    DWORD style = WS_VISIBLE | WS_TABSTOP | ES_READONLY | ES_LEFT;
    style |= multiLine ? (ES_MULTILINE | ES_AUTOVSCROLL) : ES_AUTOHSCROLL;
    CreateHandle(&parent, "EDIT", style, 0, "");
}

std::optional<LRESULT> TEdit::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // Read-only text is for reading and copying: Tab moves on, Enter and Escape go to the form.
    if (message == WM_GETDLGCODE) {
        const LRESULT code = DefaultHandler(message, wParam, lParam);
        return code & ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE | DLGC_WANTTAB);
    }
    return std::nullopt;
}

TBevel::TBevel(TComponent* owner, TWinControl& parent, RECT bounds) : TWinControl(owner) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    CreateHandle(&parent, "STATIC", WS_VISIBLE | SS_ETCHEDFRAME, 0, "");
}

TBitBtn::TBitBtn(TComponent* owner, TWinControl& parent, RECT bounds, const std::string& caption)
    : TWinControl(owner) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    CreateHandle(&parent, "BUTTON", WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 0, caption);
}

void TBitBtn::SetGlyph(TBitmap glyph, int glyphCount) {
    glyph_ = std::move(glyph);
    glyphCount_ = std::max(1, glyphCount);
    Invalidate();
}

void TBitBtn::SetDefault(bool isDefault) {
    default_ = isDefault;
    Invalidate();
}

void TBitBtn::Click() {
    if (OnClick)
        OnClick(this);
}

void TBitBtn::HandleCommand(WORD code) {
    if (code == BN_CLICKED)
        Click();
}

bool TBitBtn::HandleDrawItem(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const bool focused = (item.itemState & ODS_FOCUS) != 0;
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (default_ && !disabled) {
        FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&r, -1, -1);
    }
    DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));

    const std::string caption = Caption();
    HGDIOBJ oldFont = SelectObject(dc, Font().Handle());
    RECT textSize{0, 0, 0, 0};
    DrawTextA(dc, caption.c_str(), -1, &textSize, DT_CALCRECT | DT_SINGLELINE);
    const int glyphWidth = glyph_.Empty() ? 0 : glyph_.Width() / glyphCount_;
    const int spacing = glyphWidth > 0 ? 4 : 0;
    const int total = glyphWidth + spacing + textSize.right;
    const int shift = pressed ? 1 : 0;
    int x = (item.rcItem.left + item.rcItem.right - total) / 2 + shift;
    const int middle = (item.rcItem.top + item.rcItem.bottom) / 2 + shift;

    if (glyphWidth > 0) {
        const int index = disabled && glyphCount_ > 1 ? 1 : 0;
        glyph_.DrawTransparent(dc, x, middle - glyph_.Height() / 2, index * glyphWidth, glyphWidth);
        x += glyphWidth + spacing;
    }
    RECT textRect{x, middle - textSize.bottom / 2, x + textSize.right, middle + textSize.bottom};
    SetBkMode(dc, TRANSPARENT);
    if (disabled) {
        OffsetRect(&textRect, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawTextA(dc, caption.c_str(), -1, &textRect, DT_SINGLELINE);
        OffsetRect(&textRect, -1, -1);
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    } else {
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    }
    DrawTextA(dc, caption.c_str(), -1, &textRect, DT_SINGLELINE);
    SelectObject(dc, oldFont);
    if (focused) {
        RECT focus = item.rcItem;
        InflateRect(&focus, -4, -4);
        DrawFocusRect(dc, &focus);
    }
    return true;
}

TSpeedButton::TSpeedButton(TComponent* owner, TWinControl& parent, RECT bounds)
    : TWinControl(owner) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    // A static control: it reports clicks but can never hold the focus.
    CreateHandle(&parent, "STATIC", SS_OWNERDRAW | SS_NOTIFY, 0, "");
}

void TSpeedButton::HandleCommand(WORD code) {
    if (code == STN_CLICKED && OnClick)
        OnClick(this);
}

bool TSpeedButton::HandleDrawItem(const DRAWITEMSTRUCT& item) {
    RECT r = item.rcItem;
    FillRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (!glyph_.Empty()) {
        glyph_.DrawTransparent(item.hDC, (r.right - glyph_.Width()) / 2,
                               (r.bottom - glyph_.Height()) / 2, 0, glyph_.Width());
    }
    return true;
}

TImage::TImage(TComponent* owner, TWinControl& parent, RECT bounds) : TWinControl(owner) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    CreateHandle(&parent, "STATIC", WS_VISIBLE | SS_OWNERDRAW | SS_NOTIFY, 0, "");
}

bool TImage::HandleDrawItem(const DRAWITEMSTRUCT& item) {
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    picture_.Draw(item.hDC, 0, 0);
    return true;
}

THotKey::THotKey(TComponent* owner, TWinControl& parent, RECT bounds) : TWinControl(owner) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    CreateHandle(&parent, HOTKEY_CLASSA, WS_VISIBLE | WS_TABSTOP, WS_EX_CLIENTEDGE, "");
    // No combination is refused: without rules the control keeps what the user presses.
    SendMessageA(Handle(), HKM_SETRULES, 0, 0);
}

void THotKey::SetKey(BYTE virtualKey, BYTE modifiers) {
    SendMessageA(Handle(), HKM_SETHOTKEY, MAKEWORD(virtualKey, modifiers), 0);
}

BYTE THotKey::VirtualKey() const {
    return LOBYTE(LOWORD(SendMessageA(Handle(), HKM_GETHOTKEY, 0, 0)));
}

BYTE THotKey::Modifiers() const {
    return HIBYTE(LOWORD(SendMessageA(Handle(), HKM_GETHOTKEY, 0, 0)));
}

TProgressBar::TProgressBar(TComponent* owner, TWinControl& parent, RECT bounds, int minimum,
                           int maximum)
    : TWinControl(owner) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    CreateHandle(&parent, PROGRESS_CLASSA, WS_VISIBLE, 0, "");
    SendMessageA(Handle(), PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
}

int TProgressBar::Position() const {
    return static_cast<int>(SendMessageA(Handle(), PBM_GETPOS, 0, 0));
}

void TProgressBar::SetPosition(int position) {
    SendMessageA(Handle(), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

TCheckBox::TCheckBox(TComponent* owner, TWinControl& parent, RECT bounds,
                     const std::string& caption)
    : TWinControl(owner) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    CreateHandle(&parent, "BUTTON", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, caption);
}

bool TCheckBox::Checked() const {
    return SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool checked) {
    SendMessageA(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

TPanel::TPanel(TComponent* owner, TWinControl& parent, RECT bounds, COLORREF color,
               COLORREF textColor, bool bevel)
    : TWinControl(owner), brush_(CreateSolidBrush(color), true), textColor_(textColor),
      bevel_(bevel) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    CreateHandle(&parent, nullptr, WS_VISIBLE, WS_EX_CONTROLPARENT, "");
}

std::optional<LRESULT> TPanel::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_ERASEBKGND: {
        RECT r{};
        GetClientRect(Handle(), &r);
        ::FillRect(reinterpret_cast<HDC>(wParam), &r, brush_.Get());
        if (bevel_)
            DrawEdge(reinterpret_cast<HDC>(wParam), &r, BDR_RAISEDINNER | BDR_SUNKENOUTER, BF_RECT);
        return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, textColor_);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(brush_.Get());
    }
    default:
        return std::nullopt;
    }
}

TTabSheet::TTabSheet(TComponent* owner, TWinControl& pageControl, const std::string& caption)
    : TWinControl(owner), tabCaption_(caption) {
    RECT area{0, 0, pageControl.Width(), pageControl.Height()};
    TabCtrl_AdjustRect(pageControl.Handle(), FALSE, &area);
    SetBounds(area.left, area.top, RectWidth(area), RectHeight(area));
    // Its controls take part in the form's Tab order.
    CreateHandle(&pageControl, nullptr, WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, "");
}

std::optional<LRESULT> TTabSheet::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // Static text and read-only fields on a page take the page's colour.
    if (message == WM_CTLCOLORSTATIC) {
        const LRESULT brush = DefaultHandler(message, wParam, lParam);
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
        return brush != 0 ? brush : reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    return std::nullopt;
}

TPageControl::TPageControl(TComponent* owner, TWinControl& parent, RECT bounds)
    : TWinControl(owner) {
    SetBounds(bounds.left, bounds.top, RectWidth(bounds), RectHeight(bounds));
    CreateHandle(&parent, WC_TABCONTROLA, WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS,
                 WS_EX_CONTROLPARENT, "");
}

TTabSheet& TPageControl::AddPage(const std::string& caption) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    std::string text = caption;
    item.pszText = text.data();
    TabCtrl_InsertItem(Handle(), PageCount(), &item);
    TTabSheet& page = Owner()->Create<TTabSheet>(*this, caption);
    pages_.push_back(&page);
    ShowActivePage();
    return page;
}

int TPageControl::ActivePageIndex() const {
    return TabCtrl_GetCurSel(Handle());
}

void TPageControl::SetActivePageIndex(int index) {
    TabCtrl_SetCurSel(Handle(), index);
    ShowActivePage();
    if (OnChange)
        OnChange(this);
}

void TPageControl::ShowActivePage() {
    const int active = ActivePageIndex();
    for (int i = 0; i < PageCount(); ++i)
        ShowWindow(pages_[static_cast<std::size_t>(i)]->Handle(), i == active ? SW_SHOW : SW_HIDE);
}

std::optional<LRESULT> TPageControl::HandleNotify(NMHDR& header) {
    if (header.code == TCN_SELCHANGE) {
        ShowActivePage();
        if (OnChange)
            OnChange(this);
        return 0;
    }
    return std::nullopt;
}

} // namespace quillet::ui
