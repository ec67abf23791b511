#include "app/DEBUGWIN.h"

#include "tests/win/MessageBoxes.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

std::string RowText(const TCrtCore& crt, int row, int length) {
    std::string text;
    for (int x = 1; x <= length; ++x)
        text += crt.Cell(x, row).Ch;
    return text;
}

TEST(DebuggerWindow, SitsInTheCornerSizedToItsConsoleAndLogsToIt) {
    app::TDebugger debugger;
    const TCrtCore& crt = debugger.CRT->Crt();
    // 80 by 15 cells of the measured font: 7 by 14 pixels with Windows' Courier New, 7 by 12
    // with the Liberation Mono that stands in for it under Wine.
    EXPECT_EQ(debugger.ClientWidth(), 80 * 7);
    EXPECT_GE(crt.CellHeight(), 12);
    EXPECT_EQ(debugger.ClientHeight(), 15 * crt.CellHeight());
    RECT frame{};
    GetWindowRect(debugger.Handle(), &frame);
    EXPECT_EQ(frame.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(frame.bottom, GetSystemMetrics(SM_CYSCREEN));

    debugger.LogText("Name:");
    debugger.LogLine("DEMO");
    EXPECT_EQ(RowText(crt, 1, 19) + RowText(crt, 2, 10), "Program Started... Name:DEMO ");
    EXPECT_EQ(crt.CursorY(), 3);
}

TEST(Console, PaintsEachRunOfColoursWithOneTextCallAndTheRightPixels) {
    app::TDebugger debugger;
    TLumocrt& crt = *debugger.CRT;
    testing::PumpMessages(100);
    crt.Crt().SetTextColor(0x0000FF); // red, as GDI counts
    crt.Write("AB");
    crt.Crt().SetTextColor(0xFF0000); // blue
    crt.Write("CD");
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

HWND CaretWindow() {
    GUITHREADINFO info{sizeof(GUITHREADINFO)};
    GetGUIThreadInfo(GetCurrentThreadId(), &info);
    return info.hwndCaret;
}

TEST(Console, CaretOnlyWithFocusAndCursorSizeOnlyTheGridUnlessOwnerDrawn) {
    app::TDebugger debugger;
    TLumocrt& crt = *debugger.CRT;
    SetFocus(nullptr);
    EXPECT_EQ(CaretWindow(), nullptr);
    SetForegroundWindow(debugger.Handle());
    crt.SetFocus();
    EXPECT_EQ(CaretWindow(), crt.Handle());
    // Tab, arrows, Enter and Escape go to the console, not to the dialog manager.
    EXPECT_EQ(SendMessageA(crt.Handle(), WM_GETDLGCODE, 0, 0), 0x87);
    crt.Crt().SetCursor(false);
    EXPECT_EQ(CaretWindow(), nullptr);
    crt.Crt().SetCursor(true);
    EXPECT_EQ(CaretWindow(), crt.Handle());
    SetFocus(nullptr);
    EXPECT_EQ(CaretWindow(), nullptr);

    RECT r{};
    for (const bool ownerDraw : {false, true}) {
        crt.Crt().SetOwnerDraw(ownerDraw);
        MoveWindow(crt.Handle(), 0, 0, 100, 50, TRUE);
        GetClientRect(crt.Handle(), &r);
        EXPECT_EQ(r.right, ownerDraw ? 100 : 80 * crt.Crt().CellWidth());
    }
}

TEST(Console, ClearScreenAndTheBackgroundFillTheWholeControlAfterAnOutsideResize) {
    app::TDebugger debugger;
    TLumocrt& crt = *debugger.CRT;
    crt.Crt().SetOwnerDraw(true); // keeps the size it is given
    debugger.SetPosition(0, 0);   // all of it on the screen, where its pixels can be read
    debugger.SetClientSize(700, 260);
    MoveWindow(crt.Handle(), 0, 0, 700, 260, TRUE);
    crt.Crt().SetBackColor(0x0000FF); // red, as GDI counts
    crt.ClearScreen();
    const ui::WindowDC dc(crt.Handle());
    EXPECT_EQ(GetPixel(dc.Get(), 690, 250), RGB(255, 0, 0)); // beyond the old size
    // Where nothing paints cells, the control's own colour shows: ClearScreen made it red.
    const RECT all{0, 0, 700, 260};
    FillRect(dc.Get(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    RedrawWindow(crt.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_EQ(GetPixel(dc.Get(), 690, 250), RGB(255, 0, 0));
}

} // namespace
} // namespace quillet
