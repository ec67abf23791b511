#include "console/CrtCore.h"

#include "base/Exceptions.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quillet {
namespace {

std::string Show(const Rect& r) {
    return std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) +
           "," + std::to_string(r.Bottom);
}

// Writes down every call in order, and models the one message queue slot for WM_SCROLLREPAINT.
class RecordingWindow final : public ConsoleWindowSystem {
public:
    bool window = true;
    bool queued = false;
    std::int32_t width = 0;
    std::int32_t height = 0;
    Rect client{0, 0, 70, 70};
    std::vector<std::string> calls;

    bool HasWindow() const override { return window; }
    void Invalidate(const Rect& r) override { calls.push_back("invalidate " + Show(r)); }
    void Update() override { calls.push_back("update"); }
    Rect ClientRect() const override { return client; }
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
    void SetColor(TColor color) override { calls.push_back("color " + std::to_string(color)); }
    void FillRect(const Rect& r, TColor color) override {
        calls.push_back("fill " + Show(r) + " " + std::to_string(color));
    }
    void PaintNow() override { calls.push_back("paint"); }
    void CreateCaret(std::int32_t w, std::int32_t h) override {
        calls.push_back("caret " + std::to_string(w) + "x" + std::to_string(h));
    }
    void SetCaretPos(std::int32_t x, std::int32_t y) override {
        calls.push_back("caret at " + std::to_string(x) + "," + std::to_string(y));
    }
    void ShowCaret() override { calls.push_back("show caret"); }
    void DestroyCaret() override { calls.push_back("destroy caret"); }
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
    // The message loop serving the queue.
    void Serve() {
        if (std::exchange(window.queued, false))
            crt.ScrollRepaint();
    }
    std::string Row(std::int32_t y, std::int32_t last = 0) const {
        std::string text;
        for (std::int32_t x = 1; x <= (last > 0 ? last : crt.Columns()); ++x)
            text += crt.Cell(x, y).Ch;
        return text;
    }
};

// The invalidation of a span of row y, and the forced paint after it.
std::vector<std::string> Span(std::int32_t y, std::int32_t first, std::int32_t last) {
    return {"invalidate " + Show(Rect{(first - 1) * 7, (y - 1) * 14, last * 7, y * 14}), "update"};
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<std::string> kScrollQueued{"peek", "post"};

TEST(Console, StartsBlankAt80By24WithoutTouchingTheWindow) {
    RecordingWindow window;
    TCrtCore crt(window);
    EXPECT_TRUE(window.calls.empty());
    EXPECT_EQ(crt.Columns(), 80);
    EXPECT_EQ(crt.Rows(), 24);
    EXPECT_EQ(crt.CursorX(), 1);
    EXPECT_EQ(crt.CursorY(), 1);
    EXPECT_EQ(crt.LineBreak(), TLineBreak::CRLF);
    EXPECT_FALSE(crt.ScrollPending());
    EXPECT_EQ(crt.ScrollCount(), 0);
    EXPECT_EQ(crt.CellWidth(), 0);
    EXPECT_TRUE(crt.Cursor());
    EXPECT_FALSE(crt.OwnerDraw());
    for (std::int32_t x = 1; x <= TCrtCore::MaxColumns; ++x)
        for (std::int32_t y = 1; y <= TCrtCore::MaxRows; ++y)
            ASSERT_EQ(crt.Cell(x, y), (TCrtCell{' ', clWindow, clWindowText})) << x << "," << y;
    EXPECT_THROW(crt.Cell(133, 1), ERangeError);
    EXPECT_THROW(crt.Cell(1, 0), ERangeError);
}

// Console of 10 by 5 cells; `before` is written first and its calls are not looked at.
TEST(ConsoleOutput, RepaintsExactlyTheChangedSpans) {
    const struct {
        const char* name;
        TLineBreak mode;
        std::string before;
        std::string text;
        std::vector<std::string> calls;
        std::int32_t x, y;
    } cases[] = {
        {"text", TLineBreak::CRLF, "", "abc", Span(1, 1, 4), 4, 1},
        {"empty write repaints the cell under the cursor", TLineBreak::CRLF, "ab", "",
         Span(1, 3, 3), 3, 1},
        {"CR in CRLF mode", TLineBreak::CRLF, "", "ab\r",
         Span(1, 1, 3) + Span(1, 1, 1) + Span(2, 1, 1), 1, 2},
        {"CR in CR mode", TLineBreak::CR, "", "ab\r", Span(1, 1, 3) + Span(1, 1, 1), 1, 1},
        {"LF keeps the column and the span", TLineBreak::CRLF, "", "ab\n",
         Span(1, 1, 3) + Span(2, 1, 3), 3, 2},
        {"wrap", TLineBreak::CR, "", "0123456789", Span(1, 1, 11) + Span(1, 1, 1) + Span(2, 1, 1),
         1, 2},
        {"bell and ignored codes", TLineBreak::CRLF, "", "\a\t\x1b\x01\x1f\v\a",
         std::vector<std::string>{"beep", "beep"} + Span(1, 1, 1), 1, 1},
        {"backspace at the top left", TLineBreak::CRLF, "", "\b", Span(1, 1, 1), 1, 1},
        {"backspace in a row", TLineBreak::CRLF, "", "ab\b", Span(1, 1, 3) + Span(1, 1, 3), 2, 1},
        {"backspace to the row above", TLineBreak::CRLF, "x\r", "\b",
         Span(1, 1, 10) + Span(1, 1, 10), 10, 1},
        {"form feed mid-buffer", TLineBreak::CRLF, "q\r", "abc\fde",
         std::vector<std::string>{"color 4278190085", "fill 0,0,70,70 4278190085"} + Span(1, 1, 3),
         3, 1},
        {"CRLF on the last row scrolls", TLineBreak::CRLF, "\n\n\n\n", "ab\r",
         kScrollQueued + Span(5, 1, 1), 1, 5},
        {"CR on the last row", TLineBreak::CR, "\n\n\n\n", "ab\r", Span(5, 1, 3) + Span(5, 1, 1), 1,
         5},
        {"wrap on the last row scrolls", TLineBreak::CR, "\n\n\n\n", "0123456789",
         kScrollQueued + Span(5, 1, 1), 1, 5},
        {"LF on the last row keeps the column", TLineBreak::CRLF, "\n\n\n\nab", "\n",
         kScrollQueued + Span(5, 3, 3), 3, 5},
    };
    for (const auto& c : cases) {
        Console console;
        console.crt.SetLineBreak(c.mode);
        console.crt.Write(c.before);
        console.window.calls.clear();
        console.crt.Write(c.text);
        EXPECT_EQ(console.window.calls, c.calls) << c.name;
        EXPECT_EQ(console.crt.CursorX(), c.x) << c.name;
        EXPECT_EQ(console.crt.CursorY(), c.y) << c.name;
    }
}

TEST(ConsoleOutput, TextLandsWhereATerminalPutsIt) {
    const struct {
        const char* name;
        TLineBreak mode;
        std::vector<std::string> lines; // WriteLine for all but the last, Write for the last
        std::vector<std::string> rows;  // the first 5 columns of rows 1 to 3
        std::int32_t x, y;
    } cases[] = {
        {"a full line leaves an empty row",
         TLineBreak::CRLF,
         {"0123456789", "x"},
         {"01234", "     ", "x    "},
         2,
         3},
        {"CRLF pairs come out double-spaced",
         TLineBreak::CRLF,
         {"a\r\nb"},
         {"a    ", "     ", "b    "},
         2,
         3},
        {"CR mode overwrites the line",
         TLineBreak::CR,
         {"hello", "hi", ""},
         {"hillo", "     ", "     "},
         1,
         1},
        {"LF in CR mode keeps the column",
         TLineBreak::CR,
         {"ab\ncd"},
         {"ab   ", "  cd ", "     "},
         5,
         2},
        {"characters 128 to 255 are kept",
         TLineBreak::CRLF,
         {"\x80\xa9\xff"},
         {"\x80\xa9\xff  ", "     ", "     "},
         4,
         1},
        {"ignored codes write nothing",
         TLineBreak::CRLF,
         {"a\x01\x06\t\x0e\x1b\x1f"
          "b"},
         {"ab   ", "     ", "     "},
         3,
         1},
        {"backspace blanks the cell",
         TLineBreak::CRLF,
         {"abc\b\bX"},
         {"aX   ", "     ", "     "},
         3,
         1},
        {"backspace from column 1 goes to the last column above",
         TLineBreak::CR,
         {"0123456789", "\b"},
         {"01234", "     ", "     "},
         10,
         1},
    };
    for (const auto& c : cases) {
        Console console;
        console.crt.SetLineBreak(c.mode);
        for (std::size_t i = 0; i + 1 < c.lines.size(); ++i)
            console.crt.WriteLine(c.lines[i]);
        console.crt.Write(c.lines.back());
        for (std::int32_t y = 1; y <= 3; ++y)
            EXPECT_EQ(console.Row(y, 5), c.rows[static_cast<std::size_t>(y - 1)])
                << c.name << ", row " << y;
        EXPECT_EQ(console.crt.CursorX(), c.x) << c.name;
        EXPECT_EQ(console.crt.CursorY(), c.y) << c.name;
    }
    Console console;
    console.crt.Write("0123456789\b");
    EXPECT_EQ(console.Row(1), "012345678 ");
}

// Every cell of the full grid gets its own character, from its place in column-major order.
char Mark(std::int32_t x, std::int32_t y) {
    return static_cast<char>(32 + ((x - 1) * TCrtCore::MaxRows + (y - 1)) % 224);
}

TEST(ConsoleScroll, MovesTheWholeGridHiddenCellsIncluded) {
    Console console(132, 25);
    for (std::int32_t y = 1; y <= 25; ++y) {
        std::string row;
        for (std::int32_t x = 1; x <= (y < 25 ? 132 : 131); ++x)
            row += Mark(x, y);
        console.crt.Write(row);
    }
    ASSERT_EQ(console.crt.CursorX(), 132);
    ASSERT_EQ(console.crt.CursorY(), 25);
    console.crt.SetRows(5);
    ASSERT_EQ(console.crt.CursorY(), 5);
    console.crt.SetBackColor(0x123456);
    std::vector<TCrtCell> before;
    for (std::int32_t x = 1; x <= 132; ++x)
        for (std::int32_t y = 1; y <= 25; ++y)
            before.push_back(console.crt.Cell(x, y));
    const auto old = [&before](std::int32_t x, std::int32_t y) {
        return before[static_cast<std::size_t>((x - 1) * 25 + (y - 1))];
    };
    console.crt.Write("\n");
    EXPECT_EQ(console.crt.CursorX(), 132);
    EXPECT_EQ(console.crt.CursorY(), 5);
    const TCrtCell blank{' ', 0x123456, clWindowText};
    for (std::int32_t x = 1; x <= 132; ++x) {
        for (std::int32_t y = 1; y <= 25; ++y) {
            const TCrtCell& cell = console.crt.Cell(x, y);
            if (y == 5 || (x == 132 && y == 25)) {
                // The new last row, and the last cell, which has nothing to move into it.
                ASSERT_EQ(cell, blank) << x << "," << y;
            } else if (y == 25) {
                ASSERT_EQ(cell, old(x + 1, 1)) << x << "," << y;
            } else {
                ASSERT_EQ(cell, old(x, y + 1)) << x << "," << y;
            }
        }
    }
    // The hidden rows show again, moved up.
    console.crt.SetRows(25);
    EXPECT_EQ(console.crt.Cell(7, 20).Ch, Mark(7, 21));
}

TEST(ConsoleScroll, BurstsRepaintOnceOrWhenMoreThanTheLimitAreFolded) {
    const struct {
        std::int32_t rows, limit;
    } cases[] = {{2, 0},  {3, 0},   {4, 3},   {7, 3},   {8, 6},   {11, 6},  {12, 9},
                 {15, 9}, {16, 12}, {19, 12}, {20, 15}, {23, 15}, {24, 18}, {25, 18}};
    const std::vector<std::string> forced{"take", "invalidate 0,0,70,70", "update"};
    for (const auto& c : cases) {
        Console console(10, c.rows);
        console.crt.Write(std::string(static_cast<std::size_t>(c.rows - 1), '\n'));
        console.window.calls.clear();

        // The first scroll only queues the repaint; its new bottom row is painted at once.
        console.crt.Write("a\n");
        EXPECT_EQ(console.window.calls, kScrollQueued + Span(c.rows, 1, 2)) << c.rows;
        for (std::int32_t n = 2; n <= c.limit + 1; ++n) {
            console.window.calls.clear();
            console.crt.Write("\n");
            // Folded: no span repaints while the whole control's repaint is still to come.
            EXPECT_EQ(console.window.calls, (std::vector<std::string>{"take", "post"}))
                << c.rows << " scroll " << n;
            EXPECT_TRUE(console.crt.ScrollPending());
            EXPECT_EQ(console.crt.ScrollCount(), n - 1);
        }
        console.window.calls.clear();
        console.crt.Write("\n");
        EXPECT_EQ(console.window.calls, forced + Span(c.rows, 2, 2)) << c.rows;
        EXPECT_FALSE(console.crt.ScrollPending());
        EXPECT_EQ(console.crt.ScrollCount(), 0);
        EXPECT_FALSE(console.window.queued);

        // A forced repaint leaves nothing queued: the next scroll starts over.
        console.window.calls.clear();
        console.crt.Write("\n");
        EXPECT_EQ(console.window.calls, kScrollQueued + Span(c.rows, 2, 2)) << c.rows;
    }
}

TEST(ConsoleScroll, ServedRepaintEndsTheBurstAndClearScreenLeavesItQueued) {
    Console console(10, 15);
    console.crt.Write("\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n"); // two scrolls, the second folded
    ASSERT_TRUE(console.crt.ScrollPending());
    console.crt.Write("\f");
    EXPECT_TRUE(console.crt.ScrollPending());
    EXPECT_TRUE(console.window.queued);
    console.window.calls.clear();
    console.Serve();
    EXPECT_EQ(console.window.calls, (std::vector<std::string>{"invalidate 0,0,70,70", "update"}));
    EXPECT_FALSE(console.crt.ScrollPending());
    EXPECT_EQ(console.crt.ScrollCount(), 0);
    console.window.calls.clear();
    console.crt.Write("x");
    EXPECT_EQ(console.window.calls, Span(1, 1, 2));
}

TEST(ConsoleSize, OutOfRangeValuesAreDroppedAndTheCursorFollows) {
    const struct {
        bool columns;
        std::int32_t value;
        bool taken;
    } cases[] = {{true, 1, false},   {true, 133, false}, {true, 0, false},  {true, INT_MIN, false},
                 {true, 2, true},    {true, 132, true},  {false, 1, false}, {false, 26, false},
                 {false, -3, false}, {false, 2, true},   {false, 25, true}};
    for (const auto& c : cases) {
        Console console(80, 15);
        if (c.columns)
            console.crt.SetColumns(c.value);
        else
            console.crt.SetRows(c.value);
        EXPECT_EQ(console.crt.Columns(), c.columns && c.taken ? c.value : 80) << c.value;
        EXPECT_EQ(console.crt.Rows(), !c.columns && c.taken ? c.value : 15) << c.value;
        EXPECT_EQ(console.window.width, console.crt.Columns() * 7) << c.value;
        EXPECT_EQ(console.window.height, console.crt.Rows() * 14) << c.value;
        EXPECT_TRUE(console.window.calls.empty()) << c.value;
    }

    Console console(80, 15);
    console.crt.Write(std::string(49, ' ') + "X\n\n\n\n\n\n\n\n\n");
    ASSERT_EQ(console.crt.CursorX(), 51);
    console.crt.SetColumns(20);
    console.crt.SetRows(5);
    EXPECT_EQ(console.crt.CursorX(), 20);
    EXPECT_EQ(console.crt.CursorY(), 5);
    console.crt.SetColumns(80);
    EXPECT_EQ(console.crt.Cell(50, 1).Ch, 'X');
    EXPECT_EQ(console.crt.CursorX(), 20);
}

TEST(ConsoleWrite, LongTextAndNulGoThroughTheBufferInPieces) {
    Console console(132, 25);
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += static_cast<char>('!' + i % 90);
    console.crt.Write(text);
    EXPECT_EQ(console.Row(1) + console.Row(2) + console.Row(3, 36), text);
    EXPECT_EQ(console.crt.CursorX(), 37);
    EXPECT_EQ(console.crt.CursorY(), 3);

    Console lines(10, 5);
    lines.crt.WriteLine(std::string("ab\0cd", 5));
    lines.crt.Write(std::string("ef\0gh", 5));
    EXPECT_EQ(lines.Row(1), "ab        ");
    EXPECT_EQ(lines.Row(2), "ef        ");
    EXPECT_EQ(lines.crt.CursorX(), 3);

    // 255 characters fill the buffer; the line end follows in a piece of its own.
    Console full(132, 25);
    full.crt.WriteLine(std::string(255, 'z'));
    EXPECT_EQ(full.crt.CursorX(), 1);
    EXPECT_EQ(full.crt.CursorY(), 3);
    EXPECT_EQ(full.Row(2, 123), std::string(123, 'z'));
    EXPECT_EQ(full.crt.Cell(124, 2).Ch, ' ');

    // NUL is one of the ignored codes when it reaches the grid.
    lines.crt.WriteBuffer(std::string_view("g\0h", 3));
    EXPECT_EQ(lines.Row(2), "efgh      ");

    EXPECT_THROW(full.crt.WriteBuffer(std::vector<char>(65536, 'a')), ERangeError);
    full.crt.WriteBuffer(std::vector<char>(65535, 'a'));
    EXPECT_EQ(full.crt.CursorX(), 65535 % 132 + 1);
}

TEST(ConsoleWindow, WithoutOneOnlyTheGridChanges) {
    Console console;
    console.window.window = false;
    console.crt.FocusGained();
    console.crt.Write("ab\b\a\n\n\n\n\n\n\f0123456789\r\n\n\n\n\n\n");
    console.crt.SetColumns(12);
    EXPECT_EQ(console.window.calls, (std::vector<std::string>{"beep"}));
    EXPECT_EQ(console.window.width, 84);
    EXPECT_EQ(console.Row(1), "            ");
    EXPECT_EQ(console.crt.CursorY(), 5);
    EXPECT_FALSE(console.crt.ScrollPending());
}

TEST(ConsoleWindow, OwnerDrawInvalidatesWithoutPainting) {
    Console console;
    console.crt.SetOwnerDraw(true);
    console.crt.Write("ab\r");
    EXPECT_EQ(console.window.calls,
              (std::vector<std::string>{"invalidate 0,0,21,14", "invalidate 0,0,7,14",
                                        "invalidate 0,14,7,28"}));
}

TEST(ConsoleCaret, FollowsFocusAndSurvivesClearScreen) {
    Console console;
    console.crt.Write("ab\n");
    console.window.calls.clear();
    console.crt.FocusGained();
    console.crt.ClearScreen();
    console.crt.SetCursor(false);
    console.crt.ClearScreen();
    console.crt.FocusLost();
    using Calls = std::vector<std::string>;
    const Calls shown{"caret 7x14", "caret at 0,0", "show caret"};
    const Calls fill{"color 4278190085", "fill 0,0,70,70 4278190085"};
    const Calls destroyed{"destroy caret"};
    const Calls expected = Calls{"caret 7x14", "caret at 14,14", "show caret"} + destroyed + fill +
                           shown + destroyed + destroyed + fill + destroyed;
    EXPECT_EQ(console.window.calls, expected);
}

TEST(ConsoleColours, CellsKeepTheColoursTheyWereWrittenWith) {
    Console console;
    console.crt.Write("a");
    console.crt.SetBackColor(0x0000FF);
    console.crt.SetTextColor(0x00FF00);
    EXPECT_TRUE(console.window.calls.size() == 2); // the span of "a" only
    console.crt.Write("bc\b");
    EXPECT_EQ(console.crt.Cell(1, 1), (TCrtCell{'a', clWindow, clWindowText}));
    EXPECT_EQ(console.crt.Cell(2, 1), (TCrtCell{'b', 0x0000FF, 0x00FF00}));
    EXPECT_EQ(console.crt.Cell(3, 1), (TCrtCell{' ', 0x0000FF, 0x00FF00}));
    EXPECT_EQ(console.crt.Cell(4, 1), (TCrtCell{' ', clWindow, clWindowText}));
    console.crt.ClearScreen();
    EXPECT_EQ(console.crt.Cell(132, 25), (TCrtCell{' ', 0x0000FF, 0x00FF00}));
}

TEST(ConsolePaint, DrawsRunsOfEqualColoursInsideTheClip) {
    Console console(10, 3);
    console.crt.Write("ab");
    console.crt.SetBackColor(1);
    console.crt.Write("cd");
    console.crt.SetBackColor(clWindow);
    console.crt.Write("e");
    std::vector<std::string> runs;
    const auto record = [&runs](const CrtRun& run) {
        runs.push_back(Show(run.Bounds) + " " + std::to_string(run.BackColor) + " '" +
                       std::string(run.Text) + "'");
    };
    const struct {
        Rect clip;
        std::vector<std::string> runs;
    } cases[] = {
        {{0, 0, 70, 14},
         {"0,0,14,14 4278190085 'ab'", "14,0,28,14 1 'cd'", "28,0,70,14 4278190085 'e     '"}},
        {{8, 0, 20, 14}, {"7,0,14,14 4278190085 'b'", "14,0,21,14 1 'c'"}},
        {{60, 20, 100000, INT_MAX}, {"56,14,70,28 4278190085 '  '", "56,28,70,42 4278190085 '  '"}},
        {{-50, -50, 1, 1}, {"0,0,7,14 4278190085 'a'"}},
        {{14, 14, 14, 14}, {}},
    };
    for (const auto& c : cases) {
        runs.clear();
        console.crt.PaintText(c.clip, record);
        EXPECT_EQ(runs, c.runs) << Show(c.clip);
    }

    Console checkered(132, 2);
    for (int i = 0; i < 132; ++i) {
        checkered.crt.SetBackColor(static_cast<TColor>(i % 2));
        checkered.crt.Write("x");
    }
    runs.clear();
    checkered.crt.PaintText(Rect{0, 0, 924, 14}, record);
    ASSERT_EQ(runs.size(), 132u);
    EXPECT_EQ(runs.back(), "917,0,924,14 1 'x'");

    Console unmeasured;
    unmeasured.crt.SetCellSize(0, 0);
    runs.clear();
    unmeasured.crt.PaintText(Rect{0, 0, 100, 100}, record);
    EXPECT_TRUE(runs.empty());
}

TEST(ConsoleDesigning, SettersClearShowTheBannerAndPaint) {
    Console console;
    console.crt.SetDesigning(true);
    console.crt.Write("\n\nxyz");
    console.window.calls.clear();
    console.crt.SetColumns(133);
    EXPECT_TRUE(console.window.calls.empty());
    console.crt.SetTextColor(0x00FF00);
    EXPECT_EQ(console.window.calls,
              (std::vector<std::string>{"color 4278190085", "fill 0,0,70,70 4278190085", "paint"}));
    EXPECT_EQ(console.crt.CursorX(), 1);
    EXPECT_EQ(console.crt.CursorY(), 1);
    const std::string banner(TCrtCore::Banner);
    EXPECT_TRUE(banner.ends_with("Version: 1.00b"));
    for (std::size_t i = 0; i < banner.size(); ++i)
        EXPECT_EQ(console.crt.Cell(static_cast<std::int32_t>(i) + 1, 1),
                  (TCrtCell{banner[i], clWindow, 0x00FF00}));
    EXPECT_EQ(console.crt.Cell(1, 3).Ch, ' ');
}

} // namespace
} // namespace quillet
