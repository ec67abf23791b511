#include "console/CrtCore.h"

#include "base/Exceptions.h"

#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

namespace quillet {
namespace {

using Calls = std::vector<std::string>;

std::string Show(const Rect& r) {
    return std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) +
           "," + std::to_string(r.Bottom);
}

// Writes down every call in order, and models the one message queue slot for
// WM_SCROLLREPAINT.
class RecordingWindow final : public ConsoleWindowSystem {
public:
    bool window = true, queued = false;
    std::int32_t width = 0, height = 0;
    Calls calls;

    bool HasWindow() const override { return window; }
    void Invalidate(const Rect& r) override { calls.push_back("invalidate " + Show(r)); }
    void Update() override { calls.push_back("update"); }
    Rect ClientRect() const override { return {0, 0, 70, 70}; }
    bool TakeQueuedScrollRepaint() override {
        calls.push_back(queued ? "take" : "peek");
        return std::exchange(queued, false);
    }
    void PostScrollRepaint() override {
        calls.push_back("post");
        queued = true;
    }
    void Beep() override { calls.push_back("beep"); }
    std::int32_t Width() const override { return width; }
    std::int32_t Height() const override { return height; }
    void SetWidth(std::int32_t w) override { width = w; }
    void SetHeight(std::int32_t h) override { height = h; }
    void SetColor(TColor) override { calls.push_back("color"); }
    void FillRect(const Rect& r, TColor) override { calls.push_back("fill " + Show(r)); }
    void PaintNow() override { calls.push_back("paint"); }
    void CreateCaret(std::int32_t, std::int32_t) override { calls.push_back("caret"); }
    void SetCaretPos(std::int32_t, std::int32_t) override { calls.push_back("caret"); }
    void ShowCaret() override { calls.push_back("caret"); }
    void DestroyCaret() override { calls.push_back("caret"); }
};

// A console of 7 by 14 pixel cells, with nothing recorded yet.
struct Console {
    RecordingWindow window;
    TCrtCore crt{window};

    explicit Console(std::int32_t columns = 10, std::int32_t rows = 5) {
        crt.SetCellSize(7, 14);
        crt.SetColumns(columns);
        crt.SetRows(rows);
        window.calls.clear();
    }
    // The first `width` cells of rows 1 to `rows`, each row followed by a bar.
    std::string Rows(std::int32_t rows, std::int32_t width = 5) const {
        std::string text;
        for (std::int32_t y = 1; y <= rows; ++y) {
            for (std::int32_t x = 1; x <= width; ++x)
                text += crt.Cell(x, y).Ch;
            text += '|';
        }
        return text;
    }
};

// The invalidation of a span of row y, and the forced paint after it.
Calls Span(std::int32_t y, std::int32_t first, std::int32_t last) {
    return {"invalidate " + Show(Rect{(first - 1) * 7, (y - 1) * 14, last * 7, y * 14}), "update"};
}

Calls operator+(Calls a, const Calls& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Calls kScrollQueued{"peek", "post"};

// Console of 10 by 5 cells; `before` is written first and its calls are not looked at.
TEST(ConsoleOutput, RepaintsExactlyTheChangedSpans) {
    constexpr TLineBreak CR = TLineBreak::CR, CRLF = TLineBreak::CRLF;
    const struct {
        TLineBreak mode;
        std::string before, text;
        Calls calls;
        std::int32_t x, y;
    } cases[] = {// An empty write repaints the cell under the cursor.
                 {CRLF, "ab", "", Span(1, 3, 3), 3, 1},
                 {CRLF, "", "ab\r", Span(1, 1, 3) + Span(1, 1, 1) + Span(2, 1, 1), 1, 2},
                 {CR, "", "0123456789", Span(1, 1, 11) + Span(1, 1, 1) + Span(2, 1, 1), 1, 2},
                 // Bell, then codes that do nothing.
                 {CRLF, "", "\a\t\x1b\x01\x1f\v\a", Calls{"beep", "beep"} + Span(1, 1, 1), 1, 1},
                 // Backspace at the top left, and to the row above.
                 {CRLF, "", "\b", Span(1, 1, 1), 1, 1},
                 {CRLF, "x\r", "\b", Span(1, 1, 10) + Span(1, 1, 10), 10, 1},
                 // Form feed in the middle of the text.
                 {CRLF, "q\r", "abc\fde", Calls{"color", "fill 0,0,70,70"} + Span(1, 1, 3), 3, 1},
                 // On the last row: CR LF and LF scroll; CR alone does not.
                 {CRLF, "\n\n\n\n", "ab\r", kScrollQueued + Span(5, 1, 1), 1, 5},
                 {CRLF, "\n\n\n\nab", "\n", kScrollQueued + Span(5, 3, 3), 3, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        Console console;
        console.crt.SetLineBreak(c.mode);
        console.crt.Write(c.before);
        console.window.calls.clear();
        console.crt.Write(c.text);
        EXPECT_EQ(console.window.calls, c.calls);
        EXPECT_EQ(std::pair(console.crt.CursorX(), console.crt.CursorY()), std::pair(c.x, c.y));
    }
}

TEST(ConsoleOutput, TextLandsWhereATerminalPutsIt) {
    // A full line leaves an empty row; text ends at its first NUL.
    Console console(5, 5);
    console.crt.WriteLine("01234");
    console.crt.WriteLine({"ab\0cd", 5});
    console.crt.Write("\x80\xa9\xff");
    EXPECT_EQ(console.Rows(4), "01234|     |ab   |\x80\xa9\xff  |");
    // 255 characters fill the buffer; the line end follows in a piece of its own.
    Console full(132, 25);
    full.crt.WriteLine(std::string(255, 'z'));
    EXPECT_EQ(std::pair(full.crt.CursorX(), full.crt.CursorY()), std::pair(1, 3));
    EXPECT_EQ(full.Rows(2, 132),
              std::string(132, 'z') + "|" + std::string(123, 'z') + std::string(9, ' ') + "|");
    EXPECT_THROW(full.crt.WriteBuffer(std::vector<char>(65536, 'a')), ERangeError);
}

TEST(ConsoleScroll, BurstsRepaintOnceOrWhenMoreThanTheLimitAreFolded) {
    // The limit is 3 * (Rows div 4).
    for (const auto& [rows, limit] : {std::pair{2, 0}, {4, 3}, {7, 3}, {8, 6}, {25, 18}}) {
        Console console(10, rows);
        console.crt.Write(std::string(static_cast<std::size_t>(rows - 1), '\n'));
        console.window.calls.clear();
        // The first scroll only queues the repaint; its new bottom row is painted at once.
        console.crt.Write("a\n");
        Calls expected = kScrollQueued + Span(rows, 1, 2);
        // Then no span repaints while the whole control's repaint is still to come.
        for (int n = 0; n < limit; ++n)
            expected = expected + Calls{"take", "post"};
        console.crt.Write(std::string(static_cast<std::size_t>(limit) + 1, '\n'));
        // A forced repaint leaves nothing queued: the next scroll starts over.
        console.crt.Write("\n");
        EXPECT_EQ(console.window.calls,
                  (expected + Calls{"take", "invalidate 0,0,70,70", "update"} + Span(rows, 2, 2) +
                   kScrollQueued + Span(rows, 2, 2)))
            << rows;
    }
    // A served repaint ends the burst; clearing the screen leaves it queued.
    Console console(10, 15);
    console.crt.Write(std::string(16, '\n') + "\f"); // two scrolls, the second folded
    ASSERT_TRUE(std::exchange(console.window.queued, false));
    console.window.calls.clear();
    console.crt.ScrollRepaint();
    console.crt.Write("x");
    EXPECT_EQ(console.window.calls, (Calls{"invalidate 0,0,70,70", "update"} + Span(1, 1, 2)));
}

TEST(ConsoleWindow, WithoutOneOnlyTheGridChangesAndAnyClipPaintsOnlyTheGrid) {
    Console console;
    console.window.window = false;
    console.crt.FocusGained();
    console.crt.Write("ab\b\a\n\n\n\n\n\n\f0123456789\r\n\n\n\n\n\n");
    EXPECT_EQ(console.window.calls, Calls{"beep"});
    EXPECT_FALSE(console.crt.ScrollPending());

    // One-pixel cells: the first cell's number must not overflow at the far end.
    console.window.window = true;
    console.crt.SetCellSize(1, 1);
    int runs = 0;
    for (const Rect clip : {Rect{INT_MAX, INT_MAX, INT_MAX, INT_MAX}, Rect{0, 0, INT_MAX, INT_MAX}})
        console.crt.PaintText(clip, [&](const CrtRun&) { ++runs; });
    EXPECT_EQ(runs, 5); // one run per row of the second clip
}

} // namespace
} // namespace quillet
