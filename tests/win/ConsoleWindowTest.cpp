#include "app/DEBUGWIN.h"

#include "tests/win/MessageBoxes.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

using testing::PumpMessages;

std::string RowText(const TCrtCore& crt, int row, int length) {
    std::string text;
    for (int x = 1; x <= length; ++x)
        text += crt.Cell(x, row).Ch;
    return text;
}

TEST(DebuggerWindow, SitsInTheCornerSizedToItsConsoleAndSaysItStarted) {
    app::TDebugger debugger;
    EXPECT_EQ(debugger.Caption(), "Debugger");
    EXPECT_FALSE(GetWindowLongA(debugger.Handle(), GWL_STYLE) & WS_SYSMENU);
    EXPECT_TRUE(GetWindowLongA(debugger.Handle(), GWL_STYLE) & WS_THICKFRAME);
    EXPECT_TRUE(IsWindowVisible(debugger.Handle()));
    // 80 by 15 cells of the measured font: 7 by 14 pixels with Windows' Courier New, 7 by 12
    // with the Liberation Mono that stands in for it under Wine.
    const int cellWidth = debugger.CRT->Crt().CellWidth();
    const int cellHeight = debugger.CRT->Crt().CellHeight();
    EXPECT_EQ(cellWidth, 7);
    EXPECT_GE(cellHeight, 12);
    EXPECT_EQ(debugger.CRT->Width(), 80 * cellWidth);
    EXPECT_EQ(debugger.CRT->Height(), 15 * cellHeight);
    EXPECT_EQ(debugger.ClientWidth(), 80 * cellWidth);
    EXPECT_EQ(debugger.ClientHeight(), 15 * cellHeight);
    RECT frame{};
    GetWindowRect(debugger.Handle(), &frame);
    EXPECT_EQ(frame.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(frame.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(RowText(debugger.CRT->Crt(), 1, 19), "Program Started... ");
    EXPECT_EQ(debugger.CRT->Crt().CursorY(), 2);

    debugger.LogText("Name:");
    debugger.LogLine("DEMO");
    EXPECT_EQ(RowText(debugger.CRT->Crt(), 2, 10), "Name:DEMO ");
}

TEST(Console, PaintsEachRunOfColoursWithOneTextCallAndTheRightPixels) {
    app::TDebugger debugger;
    TLumocrt& crt = *debugger.CRT;
    PumpMessages(100);
    crt.Crt().SetTextColor(0x0000FF); // red, as GDI counts
    crt.Write("AB");
    crt.Crt().SetTextColor(0xFF0000); // blue
    crt.Write("CD");
    // Row 2: the four cells, then the rest in the window colours: two runs and the remainder.
    InvalidateRect(crt.Handle(), nullptr, FALSE);
    const int before = crt.TextCalls();
    UpdateWindow(crt.Handle());
    EXPECT_EQ(crt.TextCalls() - before, 15 + 2); // one per row, two more on row 2

    HDC dc = GetDC(crt.Handle());
    const int cw = crt.Crt().CellWidth();
    const int ch = crt.Crt().CellHeight();
    const auto cellHas = [&](int column, int row, COLORREF color) {
        for (int y = (row - 1) * ch; y < row * ch; ++y)
            for (int x = (column - 1) * cw; x < column * cw; ++x)
                if (GetPixel(dc, x, y) == color)
                    return true;
        return false;
    };
    EXPECT_TRUE(cellHas(1, 2, RGB(255, 0, 0)));
    EXPECT_FALSE(cellHas(1, 2, RGB(0, 0, 255)));
    EXPECT_TRUE(cellHas(3, 2, RGB(0, 0, 255)));
    EXPECT_EQ(GetPixel(dc, 79 * cw + 3, 14 * ch + 3), GetSysColor(COLOR_WINDOW));
    ReleaseDC(crt.Handle(), dc);
}

TEST(Console, SizeSpringsBackToTheGridUnlessOwnerDrawn) {
    app::TDebugger debugger;
    TLumocrt& crt = *debugger.CRT;
    MoveWindow(crt.Handle(), 0, 0, 100, 50, TRUE);
    RECT r{};
    GetClientRect(crt.Handle(), &r);
    EXPECT_EQ(r.right, 80 * crt.Crt().CellWidth());
    EXPECT_EQ(r.bottom, 15 * crt.Crt().CellHeight());

    crt.SetFont(ui::TFont("Courier New", -22));
    EXPECT_EQ(crt.Width(), 80 * crt.Crt().CellWidth());
    EXPECT_GT(crt.Width(), 560);

    crt.Crt().SetOwnerDraw(true);
    MoveWindow(crt.Handle(), 0, 0, 100, 50, TRUE);
    GetClientRect(crt.Handle(), &r);
    EXPECT_EQ(r.right, 100);
}

TEST(Console, CaretOnlyWithFocusAndCursor) {
    app::TDebugger debugger;
    TLumocrt& crt = *debugger.CRT;
    const auto caretWindow = [] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetCurrentThreadId(), &info);
        return info.hwndCaret;
    };
    EXPECT_EQ(caretWindow(), nullptr);
    SetForegroundWindow(debugger.Handle());
    crt.SetFocus();
    EXPECT_TRUE(crt.Crt().Focused());
    EXPECT_EQ(caretWindow(), crt.Handle());
    EXPECT_EQ(SendMessageA(crt.Handle(), WM_GETDLGCODE, 0, 0), 0x87);
    crt.Crt().SetCursor(false);
    EXPECT_EQ(caretWindow(), nullptr);
    crt.Crt().SetCursor(true);
    EXPECT_EQ(caretWindow(), crt.Handle());
    SetFocus(nullptr);
    EXPECT_FALSE(crt.Crt().Focused());
    EXPECT_EQ(caretWindow(), nullptr);
}

} // namespace
} // namespace quillet
