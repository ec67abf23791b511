// Times 10,000 WriteLine calls into the debugger window's visible 80 by 15 console, against the
// same output with a whole-control repaint after every scroll, in the same run, and prints the
// times and how many whole-control repaints each made.
#include "app/DEBUGWIN.h"
#include "tests/bench/Timing.h"

#include <cstdio>
#include <string>

namespace {

using namespace quillet;
using bench::Clock;
using bench::SecondsSince;
constexpr int kLines = 10000;

void Pump() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

} // namespace

int main() {
    app::TDebugger debugger;
    TLumocrt& crt = *debugger.CRT;
    Pump();

    const auto lineText = [](int i) {
        return "Complement LoROM: " + std::to_string(i) + "  Checksum LoROM: 4660";
    };

    int before = crt.WholePaints();
    auto start = Clock::now();
    for (int i = 0; i < kLines; ++i)
        crt.WriteLine(lineText(i));
    Pump(); // the scroll repaint still queued
    const double coalesced = SecondsSince(start);
    const int coalescedPaints = crt.WholePaints() - before;

    before = crt.WholePaints();
    start = Clock::now();
    for (int i = 0; i < kLines; ++i) {
        crt.WriteLine(lineText(i));
        InvalidateRect(crt.Handle(), nullptr, FALSE);
        UpdateWindow(crt.Handle());
    }
    const double everyScroll = SecondsSince(start);
    const int everyScrollPaints = crt.WholePaints() - before;

    std::printf("%d WriteLine calls into a visible %dx%d console\n", kLines, crt.Crt().Columns(),
                crt.Crt().Rows());
    std::printf("coalesced scroll repaints: %.1f ms, %d whole-control repaints\n", coalesced * 1000,
                coalescedPaints);
    std::printf("repaint after every scroll: %.1f ms, %d whole-control repaints\n",
                everyScroll * 1000, everyScrollPaints);
    std::printf("speed-up %.1f (target at least 5), whole repaints per 10 scrolls %.2f (target at "
                "most 1)\n",
                everyScroll / coalesced, 10.0 * coalescedPaints / (kLines - crt.Crt().Rows()));
    return 0;
}
