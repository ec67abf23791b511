#include "console/CrtCore.h"

#include "base/Checked.h"

#include <algorithm>
#include <utility>

namespace quillet {

namespace {

constexpr char kCarriageReturn = 13;
// The staging buffer keeps one byte for the terminating NUL.
constexpr std::size_t kStagingText = 255;

} // namespace

TCrtCore::TCrtCore(ConsoleWindowSystem& window) : window_(window) {
    BlankGrid();
}

std::size_t TCrtCore::Index(std::int32_t x, std::int32_t y) {
    RangeChecked(x, 1, MaxColumns);
    RangeChecked(y, 1, MaxRows);
    return static_cast<std::size_t>((x - 1) * MaxRows + (y - 1));
}

const TCrtCell& TCrtCore::Cell(std::int32_t x, std::int32_t y) const {
    return grid_[Index(x, y)];
}

void TCrtCore::BlankGrid() {
    grid_.fill(Blank());
}

void TCrtCore::WriteBuffer(std::span<const char> text) {
    const auto count = RangeChecked<std::uint16_t>(text.size());
    spanFirst_ = cursorX_;
    spanLast_ = cursorX_;
    for (std::uint16_t i = 0; i < count; ++i) {
        const char c = text[i];
        switch (static_cast<unsigned char>(c)) {
        case 13:
            if (lineBreak_ == TLineBreak::CR) {
                CarriageReturn(false);
            } else {
                CarriageReturn(true);
                LineFeed();
            }
            break;
        case 10:
            LineFeed();
            break;
        case 12:
            ClearScreen();
            spanFirst_ = 1;
            spanLast_ = 1;
            break;
        case 8:
            Backspace();
            break;
        case 7:
            window_.Beep();
            break;
        default:
            // No escape sequences: the other control codes, tab and escape included, do nothing.
            if (static_cast<unsigned char>(c) >= 32)
                PutChar(c);
            break;
        }
    }
    // Also for an empty write: the cell under the cursor is repainted.
    if (!scrollPending_)
        InvalidateSpan(spanFirst_, spanLast_);
}

void TCrtCore::Write(std::string_view text) {
    WriteStaged(text, false);
}

void TCrtCore::WriteLine(std::string_view text) {
    WriteStaged(text, true);
}

// Text is staged in the control's own buffer, so output allocates nothing. Text ends at its
// first NUL; longer text goes through the buffer in pieces of up to 255 characters, and the
// line end of WriteLine rides with the last piece when there is room for it.
void TCrtCore::WriteStaged(std::string_view text, bool endLine) {
    text = text.substr(0, text.find('\0'));
    for (;;) {
        std::size_t n = std::min(text.size(), kStagingText);
        std::copy_n(text.data(), n, staging_.begin());
        text.remove_prefix(n);
        if (text.empty() && endLine && n < kStagingText) {
            staging_[n++] = kCarriageReturn;
            endLine = false;
        }
        staging_[n] = '\0';
        WriteBuffer(std::span<const char>(staging_.data(), n));
        if (text.empty() && !endLine)
            return;
    }
}

void TCrtCore::PutChar(char c) {
    At(cursorX_, cursorY_) = TCrtCell{c, backColor_, textColor_};
    ++cursorX_;
    spanLast_ = std::max(spanLast_, cursorX_);
    if (cursorX_ > columns_) {
        CarriageReturn(true);
        LineFeed();
    }
}

void TCrtCore::CarriageReturn(bool lineFeedFollows) {
    // The cursor is back inside the grid before the window is called: a wrap leaves it one
    // column past the last until here.
    const std::int32_t first = std::exchange(spanFirst_, 1);
    const std::int32_t last = std::exchange(spanLast_, 1);
    cursorX_ = 1;
    // On the last row a following line feed scrolls, and the scroll repaints everything.
    if (!scrollPending_ && !(lineFeedFollows && cursorY_ == rows_))
        InvalidateSpan(first, last);
}

void TCrtCore::LineFeed() {
    // The span carries over to the new row, where the cursor keeps its column.
    if (!scrollPending_ && cursorY_ != rows_)
        InvalidateSpan(spanFirst_, spanLast_);
    ++cursorY_;
    if (cursorY_ > rows_) {
        cursorY_ = rows_;
        Scroll();
    }
}

void TCrtCore::Scroll() {
    // Column-major order makes "every column up one row" a move of the whole grid by one cell;
    // row 25 of each column takes row 1 of the next, which is hidden or blanked below.
    std::copy(grid_.begin() + 1, grid_.end(), grid_.begin());
    // Nothing moves into the last cell; a blank is what a scroll brings in elsewhere.
    grid_.back() = Blank();
    for (std::int32_t x = 1; x <= MaxColumns; ++x)
        At(x, rows_) = Blank();
    ScheduleScrollRepaint();
}

void TCrtCore::Backspace() {
    if (cursorX_ > 1) {
        --cursorX_;
        At(cursorX_, cursorY_) = Blank();
        spanFirst_ = std::min(spanFirst_, cursorX_);
    } else if (cursorY_ > 1) {
        cursorX_ = columns_;
        --cursorY_;
        At(cursorX_, cursorY_) = Blank();
        spanFirst_ = std::min(spanFirst_, cursorX_);
        spanLast_ = std::max(spanLast_, cursorX_);
    } else {
        return;
    }
    InvalidateSpan(spanFirst_, spanLast_);
}

// The span lies on the cursor's row and includes column `last`, the cell under the cursor
// where the caret stands.
void TCrtCore::InvalidateSpan(std::int32_t first, std::int32_t last) {
    if (!window_.HasWindow() || first > last)
        return;
    const std::int32_t top = CheckedMul(CheckedSub(cursorY_, 1), cellHeight_);
    window_.Invalidate(Rect{CheckedMul(CheckedSub(first, 1), cellWidth_), top,
                            CheckedMul(last, cellWidth_), CheckedAdd(top, cellHeight_)});
    // Painting now lets the log show while the caller keeps the message loop from running.
    if (!ownerDraw_)
        window_.Update();
}

// At most one scroll repaint waits in the queue: a burst of scrolls is repainted once, or at
// once when more than 3 * (Rows div 4) of them have been folded together.
void TCrtCore::ScheduleScrollRepaint() {
    if (!window_.HasWindow())
        return;
    if (window_.TakeQueuedScrollRepaint()) {
        scrollPending_ = true;
        scrollCount_ = CheckedAdd(scrollCount_, 1);
    }
    const std::int32_t limit = 3 * (rows_ / 4);
    if (scrollCount_ > limit)
        ScrollRepaint();
    else
        window_.PostScrollRepaint();
}

void TCrtCore::ScrollRepaint() {
    window_.Invalidate(window_.ClientRect());
    window_.Update();
    scrollPending_ = false;
    scrollCount_ = 0;
}

// Leaves the scroll repaint bookkeeping alone: a queued repaint still arrives.
void TCrtCore::ClearScreen() {
    BlankGrid();
    if (designing_) {
        std::int32_t x = 1;
        for (const char c : Banner)
            At(x++, 1) = TCrtCell{c, backColor_, textColor_};
    }
    cursorX_ = 1;
    cursorY_ = 1;
    if (!window_.HasWindow())
        return;
    if (focused_)
        HideTextCursor();
    window_.SetColor(backColor_);
    window_.FillRect(Rect{0, 0, window_.Width(), window_.Height()}, backColor_);
    if (focused_)
        ShowTextCursor();
}

// The cursor is clamped before the control is resized, so that whatever the resize sets off
// sees it inside the grid.
void TCrtCore::SetColumns(std::int32_t value) {
    if (value < 2 || value > MaxColumns)
        return;
    columns_ = value;
    cursorX_ = std::min(cursorX_, value);
    window_.SetWidth(GridWidth());
    RepaintForDesigner();
}

void TCrtCore::SetRows(std::int32_t value) {
    if (value < 2 || value > MaxRows)
        return;
    rows_ = value;
    cursorY_ = std::min(cursorY_, value);
    window_.SetHeight(GridHeight());
    RepaintForDesigner();
}

void TCrtCore::SetBackColor(TColor value) {
    backColor_ = value;
    RepaintForDesigner();
}

void TCrtCore::SetTextColor(TColor value) {
    textColor_ = value;
    RepaintForDesigner();
}

void TCrtCore::RepaintForDesigner() {
    if (!designing_)
        return;
    ClearScreen();
    if (window_.HasWindow())
        window_.PaintNow();
}

void TCrtCore::SetCellSize(std::int32_t width, std::int32_t height) {
    cellWidth_ = width;
    cellHeight_ = height;
}

std::int32_t TCrtCore::GridWidth() const {
    return CheckedMul(columns_, cellWidth_);
}

std::int32_t TCrtCore::GridHeight() const {
    return CheckedMul(rows_, cellHeight_);
}

void TCrtCore::SetCursor(bool value) {
    cursor_ = value;
    if (!value)
        HideTextCursor();
    else if (focused_)
        ShowTextCursor();
}

void TCrtCore::FocusGained() {
    focused_ = true;
    ShowTextCursor();
}

void TCrtCore::FocusLost() {
    focused_ = false;
    HideTextCursor();
}

void TCrtCore::ShowTextCursor() {
    if (!window_.HasWindow() || !cursor_)
        return;
    window_.CreateCaret(cellWidth_, cellHeight_);
    window_.SetCaretPos(CheckedMul(cursorX_ - 1, cellWidth_),
                        CheckedMul(cursorY_ - 1, cellHeight_));
    window_.ShowCaret();
}

// The caret belongs to the thread, not to a window: destroyed without asking whose it is.
void TCrtCore::HideTextCursor() {
    if (window_.HasWindow())
        window_.DestroyCaret();
}

void TCrtCore::PaintText(const Rect& clip, const std::function<void(const CrtRun&)>& drawRun) {
    if (!window_.HasWindow())
        return;
    if (focused_)
        HideTextCursor();
    // Cells of no size cover nothing: before the font is measured there is nothing to draw.
    if (cellWidth_ > 0 && cellHeight_ > 0) {
        // Rounding the right and bottom edges up is done in 64 bits: any clip rectangle works.
        const auto roundUp = [](std::int32_t edge, std::int32_t cell) {
            return (std::int64_t{edge} + cell - 1) / cell;
        };
        // Clamped to the grid, so that the first cell's number cannot overflow either.
        const std::int32_t c0 = std::clamp(clip.Left / cellWidth_, 0, columns_);
        const auto c1 = static_cast<std::int32_t>(
            std::min<std::int64_t>(columns_, roundUp(clip.Right, cellWidth_)));
        const std::int32_t r0 = std::clamp(clip.Top / cellHeight_, 0, rows_);
        const auto r1 = static_cast<std::int32_t>(
            std::min<std::int64_t>(rows_, roundUp(clip.Bottom, cellHeight_)));
        std::array<char, MaxColumns> text{};
        for (std::int32_t y = r0 + 1; y <= r1; ++y) {
            const std::int32_t top = CheckedMul(y - 1, cellHeight_);
            for (std::int32_t first = c0 + 1; first <= c1;) {
                const TCrtCell& start = Cell(first, y);
                std::int32_t last = first;
                text[0] = start.Ch;
                while (last < c1 && Cell(last + 1, y).BackColor == start.BackColor &&
                       Cell(last + 1, y).TextColor == start.TextColor) {
                    ++last;
                    text[static_cast<std::size_t>(last - first)] = Cell(last, y).Ch;
                }
                drawRun(CrtRun{
                    Rect{CheckedMul(first - 1, cellWidth_), top, CheckedMul(last, cellWidth_),
                         CheckedAdd(top, cellHeight_)},
                    start.BackColor, start.TextColor,
                    std::string_view(text.data(), static_cast<std::size_t>(last - first + 1))});
                first = last + 1;
            }
        }
    }
    if (focused_)
        ShowTextCursor();
}

} // namespace quillet
