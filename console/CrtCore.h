// The text console's grid, cursor, colours and output: a small character terminal that asks its
// window for exactly the repaints its output needs. The Win32 control TLumocrt owns one and
// forwards its properties, its focus messages, WM_SCROLLREPAINT and its painting to it.
#pragma once

#include "console/ConsoleWindowSystem.h"
#include "console/CrtTypes.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

namespace quillet {

// A stretch of one row whose cells share both colours: drawn with one text call.
struct CrtRun {
    Rect Bounds; // client pixels; the text starts at its top left-hand corner
    TColor BackColor = 0;
    TColor TextColor = 0;
    std::string_view Text; // valid only during the callback
};

class TCrtCore {
public:
    static constexpr std::int32_t MaxColumns = 132;
    static constexpr std::int32_t MaxRows = 25;

    // Makes no call on `window`: the control that implements it may still be under construction.
    explicit TCrtCore(ConsoleWindowSystem& window);
    virtual ~TCrtCore() = default;
    TCrtCore(const TCrtCore&) = delete;
    TCrtCore& operator=(const TCrtCore&) = delete;

    // Output. Only Write and WriteLine are used from outside the control.
    void WriteBuffer(std::span<const char> text); // at most 65535 characters
    void Write(std::string_view text);
    void WriteLine(std::string_view text);
    void ClearScreen();
    // The handler of WM_SCROLLREPAINT.
    void ScrollRepaint();

    std::int32_t Columns() const { return columns_; }
    std::int32_t Rows() const { return rows_; }
    // Values outside 2..132 and 2..25 are dropped.
    void SetColumns(std::int32_t value);
    void SetRows(std::int32_t value);

    TColor BackColor() const { return backColor_; }
    TColor TextColor() const { return textColor_; }
    void SetBackColor(TColor value);
    void SetTextColor(TColor value);

    TLineBreak LineBreak() const { return lineBreak_; }
    void SetLineBreak(TLineBreak value) { lineBreak_ = value; }

    // True turns off the control's own painting; span repaints are then not forced.
    bool OwnerDraw() const { return ownerDraw_; }
    void SetOwnerDraw(bool value) { ownerDraw_ = value; }

    // Measured from the font by the drawing side; 0 by 0 until then.
    std::int32_t CellWidth() const { return cellWidth_; }
    std::int32_t CellHeight() const { return cellHeight_; }
    void SetCellSize(std::int32_t width, std::int32_t height);
    // The size the control keeps: Columns by Rows cells.
    std::int32_t GridWidth() const;
    std::int32_t GridHeight() const;

    std::int32_t CursorX() const { return cursorX_; }
    std::int32_t CursorY() const { return cursorY_; }
    bool ScrollPending() const { return scrollPending_; }
    std::int32_t ScrollCount() const { return scrollCount_; }
    // Any cell of the whole 132 by 25 grid, 1-based; raises ERangeError outside it.
    const TCrtCell& Cell(std::int32_t x, std::int32_t y) const;

    // The caret: shown only while focused and Cursor is true, as one cell at the cursor.
    bool Cursor() const { return cursor_; }
    void SetCursor(bool value);
    bool Focused() const { return focused_; }
    void FocusGained();
    void FocusLost();
    virtual void ShowTextCursor();
    void HideTextCursor();

    // While being edited in a form designer: ClearScreen shows the banner, and the size and
    // colour setters clear and repaint at once.
    bool Designing() const { return designing_; }
    void SetDesigning(bool value) { designing_ = value; }
    static constexpr std::string_view Banner = "Lumocrt text console - Version: 1.00b";

    // Paints the visible cells inside `clip` as runs of equal colours, from the top row down
    // and left to right, hiding the caret meanwhile.
    void PaintText(const Rect& clip, const std::function<void(const CrtRun&)>& drawRun);

private:
    static std::size_t Index(std::int32_t x, std::int32_t y);
    TCrtCell& At(std::int32_t x, std::int32_t y) { return grid_[Index(x, y)]; }
    TCrtCell Blank() const { return TCrtCell{' ', backColor_, textColor_}; }
    void BlankGrid();
    void WriteStaged(std::string_view text, bool endLine);
    void PutChar(char c);
    void CarriageReturn(bool lineFeedFollows);
    void LineFeed();
    void Scroll();
    void Backspace();
    void InvalidateSpan(std::int32_t first, std::int32_t last);
    void ScheduleScrollRepaint();
    void RepaintForDesigner();

    ConsoleWindowSystem& window_;
    // Column by column, so that scrolling every column up is one block move.
    std::array<TCrtCell, MaxColumns * MaxRows> grid_{};
    std::array<char, 256> staging_{};

    std::int32_t columns_ = 80;
    std::int32_t rows_ = 24;
    std::int32_t cursorX_ = 1;
    std::int32_t cursorY_ = 1;
    TColor backColor_ = clWindow;
    TColor textColor_ = clWindowText;
    TLineBreak lineBreak_ = TLineBreak::CRLF;

    bool scrollPending_ = false;
    std::int32_t scrollCount_ = 0;
    // The changed part of the cursor's row, still to be repainted; meaningful during a write.
    std::int32_t spanFirst_ = 1;
    std::int32_t spanLast_ = 1;

    std::int32_t cellWidth_ = 0;
    std::int32_t cellHeight_ = 0;
    bool ownerDraw_ = false;
    bool cursor_ = true;
    bool focused_ = false;
    bool designing_ = false;
};

} // namespace quillet
