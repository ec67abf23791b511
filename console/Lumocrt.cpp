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
    // Courier New at 8 points; the other three fonts start as copies of it.
    TWinControl::Font().Set("Courier New", TWinControl::Font().Height());
    TWinControl::Font().SetSize(8);
    cellsOnFont_ = TWinControl::Font().OnChange.Connect([this] { FontChanged(); });
    PrinterFont.Assign(TWinControl::Font());
    Font80.Assign(TWinControl::Font());
    Font132.Assign(TWinControl::Font());
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
    TEXTMETRICA metrics{};
    {
        const ui::WindowDC screen(nullptr);
        const ui::Selection font(screen.Get(), TWinControl::Font().Handle());
        // Not looked at: a failure leaves the metrics zero, and the cells empty.
        GetTextMetricsA(screen.Get(), &metrics);
    }
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
    const ui::WindowDC dc(Handle());
    const ui::GdiHandle<HBRUSH> brush(CreateSolidBrush(ToColorRef(color)), true);
    const RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
    ::FillRect(dc.Get(), &r, brush.Get());
}

void TLumocrt::PaintNow() {
    const ui::WindowDC dc(Handle());
    RECT clip{};
    GetClientRect(Handle(), &clip);
    Paint(dc.Get(), clip);
}

// The caret calls' results are not looked at: a caret that cannot be made or moved leaves the
// console as it is, without one.
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
    const ui::Selection font(dc, TWinControl::Font().Handle());
    core_.PaintText({clip.left, clip.top, clip.right, clip.bottom}, [&](const CrtRun& run) {
        SetBkColor(dc, ToColorRef(run.BackColor));
        SetTextColor(dc, ToColorRef(run.TextColor));
        const RECT r{run.Bounds.Left, run.Bounds.Top, run.Bounds.Right, run.Bounds.Bottom};
        // Not looked at: a run that cannot be drawn leaves its cells as they were.
        ExtTextOutA(dc, r.left, r.top, ETO_OPAQUE | ETO_CLIPPED, &r, run.Text.data(),
                    static_cast<UINT>(run.Text.size()), nullptr);
        ++textCalls_;
    });
}

bool TLumocrt::OnPaint(ui::TPaintCanvas& canvas) {
    const RECT clip = canvas.ClipRect();
    Paint(canvas.Handle(), clip);
    return true;
}

bool TLumocrt::OnEraseBackground(HDC dc) {
    RECT r{};
    GetClientRect(Handle(), &r);
    const ui::GdiHandle<HBRUSH> brush(CreateSolidBrush(ToColorRef(color_)), true);
    ::FillRect(dc, &r, brush.Get());
    return true;
}

void TLumocrt::OnSize(int, int) {
    // The size follows the grid: any other size springs back.
    if (core_.OwnerDraw() || sizing_)
        return;
    sizing_ = true;
    if (core_.Focused())
        core_.HideTextCursor();
    FontChanged();
    if (core_.Focused())
        core_.ShowTextCursor();
    sizing_ = false;
}

void TLumocrt::OnSetFocus(HWND) {
    core_.FocusGained();
}

void TLumocrt::OnKillFocus(HWND) {
    core_.FocusLost();
}

UINT TLumocrt::OnGetDlgCode(UINT) {
    // Tab, the arrows, Enter and Escape stay with the console while it has the focus.
    return DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTCHARS;
}

bool TLumocrt::OnPrivateMessage(UINT message) {
    if (message != WM_SCROLLREPAINT)
        return false;
    core_.ScrollRepaint();
    return true;
}

} // namespace quillet
