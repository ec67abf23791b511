#include "ui/WinControl.h"

#include "base/Exceptions.h"
#include "ui/Application.h"
#include "ui/Forms.h"
#include "ui/WindowClass.h"

#include <shellapi.h>

#include <algorithm>
#include <string>

namespace quillet::ui {

namespace {

constexpr const char* kControlProperty = "Quillet.Control";

std::vector<std::string> DroppedFiles(HDROP drop) {
    std::vector<std::string> files;
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileA(drop, i, nullptr, 0);
        std::string file(length + 1, '\0');
        DragQueryFileA(drop, i, file.data(), length + 1);
        file.resize(length);
        files.push_back(std::move(file));
    }
    DragFinish(drop);
    return files;
}

} // namespace

TWinControl* ControlOf(HWND window) {
    return window == nullptr ? nullptr
                             : static_cast<TWinControl*>(GetPropA(window, kControlProperty));
}

TWinControl::TWinControl(TComponent* owner)
    : TComponent(owner), fontChange_(font_.OnChange.Connect([this] { FontChanged(); })) {
}

TWinControl::~TWinControl() {
    DestroyHandle();
    for (TWinControl* child : children_)
        child->parent_ = nullptr;
    if (parent_ != nullptr)
        std::erase(parent_->children_, this);
}

TForm* TWinControl::Form() const {
    if (handle_ == nullptr)
        return nullptr;
    return dynamic_cast<TForm*>(ControlOf(GetAncestor(handle_, GA_ROOT)));
}

void TWinControl::CreateHandle(TWinControl* parent, const char* baseClass, DWORD style,
                               DWORD exStyle, const std::string& text, HWND owner) {
    const std::string className =
        baseClass == nullptr ? "QuilletWindow" : std::string("Quillet.") + baseClass;
    RegisterWindowClass(className.c_str(), baseClass, &WindowProc,
                        reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    ownClass_ = baseClass == nullptr;
    parent_ = parent;
    if (parent != nullptr)
        parent->children_.push_back(this);
    HWND parentWindow = owner;
    HMENU menuOrId = nullptr;
    if (parent != nullptr) {
        style |= WS_CHILD;
        font_.Set(parent->font_.Name(), parent->font_.Height(), parent->font_.Style());
        // Ids are unique on the form, and kept clear of IDOK and IDCANCEL, which the dialog
        // manager sends for Enter and Escape.
        TWinControl* form = parent;
        while (form->parent_ != nullptr)
            form = form->parent_;
        if (form->nextChildId_ > kLastControlId)
            throw Exception("Too many controls on one form");
        id_ = form->nextChildId_++;
        parentWindow = parent->handle_;
        menuOrId = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_));
    }
    // `this` travels with the creation, so the object hears the window's first messages.
    HWND made =
        CreateWindowExA(exStyle, className.c_str(), text.c_str(), style, left_, top_, width_,
                        height_, parentWindow, menuOrId, GetModuleHandleA(nullptr), this);
    if (made == nullptr)
        throw Exception("Error creating window");
    FontChanged();
}

LRESULT CALLBACK TWinControl::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        if (auto* self = static_cast<TWinControl*>(creation->lpCreateParams))
            self->Attach(window);
    }
    TWinControl* control = ControlOf(window);
    if (control == nullptr)
        return CallWindowProcA(BaseProcedure(window), window, message, wParam, lParam);
    // Exceptions must not unwind through the system's frames: they end the handler here and
    // are shown, and the program goes on.
    try {
        return control->Dispatch(message, wParam, lParam);
    } catch (const std::exception& error) {
        Application().HandleException(error);
    }
    return 0;
}

void TWinControl::Attach(HWND window) {
    handle_ = window;
    SetPropA(window, kControlProperty, this);
}

void TWinControl::Detach() {
    if (handle_ == nullptr)
        return;
    RemovePropA(handle_, kControlProperty);
    handle_ = nullptr;
}

BOOL CALLBACK TWinControl::DetachWindow(HWND window, LPARAM) {
    if (TWinControl* control = ControlOf(window))
        control->Detach();
    return TRUE;
}

void TWinControl::DestroyHandle() {
    if (handle_ == nullptr)
        return;
    HWND window = handle_;
    // Every window inside lets go of its object before any of them goes, so the focus and
    // activation changes that destruction causes reach no handler.
    EnumChildWindows(window, &DetachWindow, 0);
    Detach();
    if (IsWindow(window))
        DestroyWindow(window);
}

LRESULT TWinControl::CallDefault(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(BaseProcedure(handle_), handle_, message, wParam, lParam);
}

LRESULT TWinControl::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        TPaintCanvas canvas(handle_);
        if (OnPaint(canvas) || canvas.Begun()) {
            canvas.ClipRect(); // painting begun, so the area counts as painted
            return 0;
        }
        break;
    }
    case WM_ERASEBKGND:
        if (OnEraseBackground(reinterpret_cast<HDC>(wParam)))
            return 1;
        break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        if (TWinControl* child = ControlOf(reinterpret_cast<HWND>(lParam))) {
            const auto standard = reinterpret_cast<HBRUSH>(CallDefault(message, wParam, lParam));
            return reinterpret_cast<LRESULT>(
                OnCtlColor(reinterpret_cast<HDC>(wParam), *child, standard));
        }
        break;
    case WM_CHAR: {
        char key = static_cast<char>(wParam);
        if (OnChar(key))
            return 0;
        break;
    }
    case WM_COMMAND:
        if (lParam != 0) {
            if (TWinControl* child = ControlOf(reinterpret_cast<HWND>(lParam));
                child != nullptr && child != this) {
                child->OnControlCommand(HIWORD(wParam));
                return 0;
            }
        } else if (OnCommand(LOWORD(wParam), HIWORD(wParam))) {
            return 0;
        }
        break;
    case WM_NOTIFY: {
        auto& header = *reinterpret_cast<NMHDR*>(lParam);
        if (TWinControl* child = ControlOf(header.hwndFrom); child != nullptr && child != this) {
            if (auto result = child->OnControlNotify(header))
                return *result;
        }
        break;
    }
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (TWinControl* child = ControlOf(item.hwndItem); child && child->OnDrawItem(item))
            return TRUE;
        break;
    }
    case WM_SETFOCUS:
        FocusMoved(reinterpret_cast<HWND>(wParam), true);
        OnSetFocus(reinterpret_cast<HWND>(wParam));
        break;
    case WM_KILLFOCUS: {
        const LRESULT result = CallDefault(message, wParam, lParam);
        FocusMoved(reinterpret_cast<HWND>(wParam), false);
        OnKillFocus(reinterpret_cast<HWND>(wParam));
        return result;
    }
    case WM_SIZE: {
        const LRESULT result = CallDefault(message, wParam, lParam);
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return result;
    }
    case WM_WINDOWPOSCHANGED: {
        // The bounds follow every move and resize, also those made from outside.
        const auto& position = *reinterpret_cast<const WINDOWPOS*>(lParam);
        if (!(position.flags & SWP_NOMOVE)) {
            left_ = position.x;
            top_ = position.y;
        }
        if (!(position.flags & SWP_NOSIZE)) {
            width_ = position.cx;
            height_ = position.cy;
        }
        break;
    }
    case WM_GETDLGCODE:
        return OnGetDlgCode(static_cast<UINT>(CallDefault(message, wParam, lParam)));
    case WM_ACTIVATE:
        if (OnWindowActivate(LOWORD(wParam) != WA_INACTIVE, HIWORD(wParam) != 0))
            return 0;
        break;
    case WM_CLOSE:
        if (OnClose())
            return 0;
        break;
    case WM_SETCURSOR:
        if (Application().CursorHidden()) {
            ::SetCursor(nullptr);
            return TRUE;
        }
        break;
    case WM_DROPFILES:
        // DroppedFiles gives the drop handle back; nothing is left for the default procedure.
        OnDropFiles(DroppedFiles(reinterpret_cast<HDROP>(wParam)));
        return 0;
    case BM_SETSTYLE:
        if (OnSetButtonStyle((wParam & BS_TYPEMASK) == BS_DEFPUSHBUTTON))
            return 0;
        break;
    case WM_NCDESTROY: {
        // Destroyed from outside, with its parent: the object stays, without a window.
        const LRESULT result = CallDefault(message, wParam, lParam);
        Detach();
        return result;
    }
    default:
        // Numbers from WM_USER up belong to the window's class: only the program's own
        // classes have them for the program. DM_GETDEFID is the dialog manager's question
        // to a top-level window.
        if (message == DM_GETDEFID && parent_ == nullptr) {
            if (const auto id = OnGetDefaultId())
                return MAKELRESULT(*id, DC_HASDEFID);
            return 0;
        }
        if (message >= WM_USER && message < 0xC000 && ownClass_ && OnPrivateMessage(message))
            return 0;
        break;
    }
    return CallDefault(message, wParam, lParam);
}

bool TWinControl::OnPaint(TPaintCanvas&) {
    return false;
}
bool TWinControl::OnEraseBackground(HDC) {
    return false;
}
HBRUSH TWinControl::OnCtlColor(HDC dc, TWinControl& child, HBRUSH standard) {
    if (child.Font().HasColor())
        SetTextColor(dc, child.Font().Color());
    return standard;
}
bool TWinControl::OnChar(char&) {
    return false;
}
bool TWinControl::OnCommand(int, int) {
    return false;
}
void TWinControl::OnControlCommand(WORD) {
}
std::optional<LRESULT> TWinControl::OnControlNotify(NMHDR&) {
    return std::nullopt;
}
bool TWinControl::OnDrawItem(const DRAWITEMSTRUCT&) {
    return false;
}
void TWinControl::OnSetFocus(HWND) {
}
void TWinControl::OnKillFocus(HWND) {
}
void TWinControl::OnSize(int, int) {
}
UINT TWinControl::OnGetDlgCode(UINT standard) {
    return standard;
}
bool TWinControl::OnWindowActivate(bool, bool) {
    return false;
}
bool TWinControl::OnClose() {
    return false;
}
std::optional<int> TWinControl::OnGetDefaultId() {
    return std::nullopt;
}
bool TWinControl::OnSetButtonStyle(bool) {
    return false;
}
bool TWinControl::OnDropFiles(const std::vector<std::string>&) {
    return false;
}
bool TWinControl::OnPrivateMessage(UINT) {
    return false;
}

void TWinControl::FocusMoved(HWND other, bool entering) {
    // Coming from or going to another window, or nowhere, is no move within this window.
    if (other == nullptr || GetAncestor(other, GA_ROOT) != GetAncestor(handle_, GA_ROOT))
        return;
    // This control and each container around it that the focus enters or leaves as a whole.
    for (TWinControl* control = this; control != nullptr; control = control->parent_) {
        if (control != this && (other == control->handle_ || IsChild(control->handle_, other)))
            break;
        const TNotifyEvent& event = entering ? control->OnEnter : control->OnExit;
        if (event)
            event(control);
    }
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
    // The result is the previous visibility, not a success.
    ShowWindow(handle_, visible ? SW_SHOWNA : SW_HIDE);
    HintStateChanged();
}

bool TWinControl::Enabled() const {
    return IsWindowEnabled(handle_) != FALSE;
}

void TWinControl::SetEnabled(bool enabled) {
    EnableWindow(handle_, enabled ? TRUE : FALSE);
    HintStateChanged();
}

void TWinControl::SetFocus() {
    ::SetFocus(handle_);
}

void TWinControl::SetHint(const std::string& hint) {
    if (hint == hint_)
        return;
    hint_ = hint;
    HintStateChanged();
}

void TWinControl::SetShowHint(bool show) {
    showHint_ = show;
    HintStateChanged();
}

void TWinControl::HintStateChanged() {
    if (TForm* form = Form(); form != nullptr && (showHint_ || !hint_.empty()))
        form->UpdateHint(*this);
}

void TWinControl::Invalidate() {
    InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::Repaint() {
    Invalidate();
    UpdateWindow(handle_);
}

} // namespace quillet::ui
