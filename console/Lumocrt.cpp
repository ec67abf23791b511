#include "console/Lumocrt.h"

namespace quillet {

COLORREF ToColorRef(TColor color) {
    if ((color & clSystemColor) == clSystemColor)
        return GetSysColor(static_cast<int>(color & 0xFF));
    return static_cast<COLORREF>(color & 0xFFFFFF);
}

TLumocrt::TLumocrt(TComponent* owner, ui::TWinControl& parent, int left, int top)
    : TWinControl(owner), core_(*this) {
    SetName("CRT");
    SetBounds(left, top, 1, 1);
    // Tab, arrows, Enter and Escape stay with the console while it has the focus.
    CreateHandle(&parent, nullptr, WS_VISIBLE | WS_TABSTOP, 0, "");
    TWinControl::Font().Set("Courier New", -11);
    TWinControl::Font().OnChange = [this] { FontChanged(); };
    PrinterFont.Set("Courier New", -11);
    Font80.Set("Courier New", -11);
    Font132.Set("Courier New", -11);
    core_.SetBackColor(clWindow);
    core_.SetTextColor(clWindowText);
    core_.ClearScreen();
}

TLumocrt::~TLumocrt() {
    core_.HideTextCursor();
}

void TLumocrt::SetFont(const ui::TFont& font) {
    TWinControl::Font().Assign(font);
    InvalidateRect(Handle(), nullptr, FALSE);
    FontChanged();
}

void TLumocrt::Loaded() {
    TWinControl::Loaded();
    core_.ClearScreen();
}

void TLumocrt::FontChanged() {
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, TWinControl::Font().Handle());
    TEXTMETRICA metrics{};
    GetTextMetricsA(screen, &metrics);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    core_.SetCellSize(metrics.tmAveCharWidth, metrics.tmHeight + metrics.tmExternalLeading);
    SetBounds(Left(), Top(), core_.GridWidth(), core_.GridHeight());
    if (Handle() != nullptr)
        UpdateWindow(Handle());
}

void TLumocrt::Invalidate(const Rect& rect) {
    const RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
    InvalidateRect(Handle(), &r, FALSE);
}

void TLumocrt::Update() {
    UpdateWindow(Handle());
}

Rect TLumocrt::ClientRect() const {
    RECT r{};
    GetClientRect(Handle(), &r);
    return {r.left, r.top, r.right, r.bottom};
}

bool TLumocrt::TakeQueuedScrollRepaint() {
    MSG message{};
    return PeekMessageA(&message, Handle(), WM_SCROLLREPAINT, WM_SCROLLREPAINT, PM_REMOVE) != FALSE;
}

void TLumocrt::PostScrollRepaint() {
    PostMessageA(Handle(), WM_SCROLLREPAINT, 0, 0);
}

void TLumocrt::Beep() {
    MessageBeep(0);
}

void TLumocrt::SetWidth(std::int32_t width) {
    SetBounds(Left(), Top(), width, Height());
}

void TLumocrt::SetHeight(std::int32_t height) {
    SetBounds(Left(), Top(), Width(), height);
}

void TLumocrt::FillRect(const Rect& rect, TColor color) {
    HDC dc = GetDC(Handle());
    HBRUSH brush = CreateSolidBrush(ToColorRef(color));
    const RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
    ::FillRect(dc, &r, brush);
    DeleteObject(brush);
    ReleaseDC(Handle(), dc);
}

void TLumocrt::PaintNow() {
    HDC dc = GetDC(Handle());
    RECT clip{};
    GetClientRect(Handle(), &clip);
    Paint(dc, clip);
    ReleaseDC(Handle(), dc);
}

void TLumocrt::CreateCaret(std::int32_t width, std::int32_t height) {
    ::CreateCaret(Handle(), nullptr, width, height);
}

void TLumocrt::SetCaretPos(std::int32_t x, std::int32_t y) {
    ::SetCaretPos(x, y);
}

void TLumocrt::ShowCaret() {
    ::ShowCaret(Handle());
}

void TLumocrt::DestroyCaret() {
    ::DestroyCaret();
}

void TLumocrt::Paint(HDC dc, const RECT& clip) {
    if (core_.OwnerDraw())
        return;
    RECT client{};
    GetClientRect(Handle(), &client);
    if (clip.left <= 0 && clip.top <= 0 && clip.right >= client.right &&
        clip.bottom >= client.bottom)
        ++wholePaints_;
    HGDIOBJ old = SelectObject(dc, TWinControl::Font().Handle());
    core_.PaintText({clip.left, clip.top, clip.right, clip.bottom}, [&](const CrtRun& run) {
        SetBkColor(dc, ToColorRef(run.BackColor));
        SetTextColor(dc, ToColorRef(run.TextColor));
        const RECT r{run.Bounds.Left, run.Bounds.Top, run.Bounds.Right, run.Bounds.Bottom};
        ExtTextOutA(dc, r.left, r.top, ETO_OPAQUE | ETO_CLIPPED, &r, run.Text.data(),
                    static_cast<UINT>(run.Text.size()), nullptr);
        ++textCalls_;
    });
    SelectObject(dc, old);
}

std::optional<LRESULT> TLumocrt::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // every cell painted fills its own background
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(Handle(), &paint);
        Paint(dc, paint.rcPaint);
        EndPaint(Handle(), &paint);
        return 0;
    }
    case WM_SIZE: {
        DefaultHandler(message, wParam, lParam);
        // The size follows the grid: any other size springs back.
        if (!core_.OwnerDraw() && !sizing_) {
            sizing_ = true;
            if (core_.Focused())
                core_.HideTextCursor();
            FontChanged();
            if (core_.Focused())
                core_.ShowTextCursor();
            sizing_ = false;
        }
        return 0;
    }
    case WM_SETFOCUS:
        core_.FocusGained();
        return std::nullopt;
    case WM_KILLFOCUS: {
        const LRESULT result = DefaultHandler(message, wParam, lParam);
        core_.FocusLost();
        return result;
    }
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    case WM_SCROLLREPAINT:
        core_.ScrollRepaint();
        return 0;
    default:
        return std::nullopt;
    }
}

} // namespace quillet
