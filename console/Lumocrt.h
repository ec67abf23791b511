// TLumocrt: the text console as a window control. The grid and its output live in TCrtCore;
// this side measures the font, sizes the control to its grid, paints the cells in colour runs
// and keeps the caret.
#pragma once

#include "console/CrtCore.h"
#include "ui/Controls.h"

namespace quillet {

class TLumocrt : public ui::TWinControl, public ConsoleWindowSystem {
public:
    TLumocrt(TComponent* owner, ui::TWinControl& parent, int left, int top);
    ~TLumocrt() override;
    std::string ClassName() const override { return "TLumocrt"; }

    TCrtCore& Crt() { return core_; }
    const TCrtCore& Crt() const { return core_; }
    void Write(std::string_view text) { core_.Write(text); }
    void WriteLine(std::string_view text) { core_.WriteLine(text); }
    void ClearScreen() { core_.ClearScreen(); }

    // The font that measures and paints; the other three are kept only.
    ui::TFont& Font() { return TWinControl::Font(); }
    ui::TFont PrinterFont;
    ui::TFont Font80;
    ui::TFont Font132;
    void SetFont(const ui::TFont& font);

    void SetColumns(std::int32_t columns) { core_.SetColumns(columns); }
    void SetRows(std::int32_t rows) { core_.SetRows(rows); }
    void Loaded() override;
    // Measures the font into the cell size, and sizes the control to Columns by Rows cells.
    void FontChanged();

    // The window system, as the grid's output asks it.
    bool HasWindow() const override { return Handle() != nullptr; }
    void Invalidate(const Rect& rect) override;
    void Update() override;
    Rect ClientRect() const override;
    bool TakeQueuedScrollRepaint() override;
    void PostScrollRepaint() override;
    void Beep() override;
    std::int32_t Width() const override { return TWinControl::Width(); }
    std::int32_t Height() const override { return TWinControl::Height(); }
    void SetWidth(std::int32_t width) override;
    void SetHeight(std::int32_t height) override;
    void SetColor(TColor color) override { color_ = color; }
    void FillRect(const Rect& rect, TColor color) override;
    void PaintNow() override;
    void CreateCaret(std::int32_t width, std::int32_t height) override;
    void SetCaretPos(std::int32_t x, std::int32_t y) override;
    void ShowCaret() override;
    void DestroyCaret() override;

    // How many ExtTextOutA calls painting has made (one per run of equal colours), and how many
    // paints covered the whole control.
    int TextCalls() const { return textCalls_; }
    int WholePaints() const { return wholePaints_; }

protected:
    bool OnPaint(ui::TPaintCanvas& canvas) override;
    // Where no cell paints, the control's own colour shows.
    bool OnEraseBackground(HDC dc) override;
    void OnSize(int width, int height) override;
    void OnSetFocus(HWND previous) override;
    void OnKillFocus(HWND next) override;
    UINT OnGetDlgCode(UINT standard) override;
    bool OnPrivateMessage(UINT message) override;

private:
    void Paint(HDC dc, const RECT& clip);

    TCrtCore core_;
    TColor color_ = clWindow;
    bool sizing_ = false;
    int textCalls_ = 0;
    int wholePaints_ = 0;
    // The cells and the size follow the font.
    TConnection cellsOnFont_;
};

// A colour as GDI takes it: system colours looked up, RGB colours as they are.
COLORREF ToColorRef(TColor color);

} // namespace quillet
