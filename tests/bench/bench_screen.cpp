// Times the full-screen display on the real DirectDraw, in a virtual desktop: FadeIn(100)
// against 101 vertical blanks of the same display, and the frame rate of the flip loop against
// the rate of vertical blanks, in the same run.
#include "gamelib/Mx.h"
#include "tests/bench/Timing.h"
#include "ui/Application.h"

#include <cstdio>
#include <vector>

namespace {

using namespace quillet;
using namespace quillet::bench;
constexpr int kRounds = 5;

} // namespace

int main() {
    auto& application = ui::Application();
    application.SetTitle("Quillet");
    ui::TForm mainForm;
    mainForm.CreateForm("Quillet", 300, 200, ui::TBorderStyle::Single, {});
    ui::TForm form;
    form.CreateForm("DirectX", 435, 300, ui::TBorderStyle::Sizeable, {});
    TMxScreen& screen = form.Create<TMxScreen>();
    screen.SetDebug(false);
    screen.SetBeepOnException(false);
    screen.Loaded();
    form.Show();
    for (int i = 0; i < 200 && screen.DirectDraw() == nullptr; ++i) {
        MSG message{};
        if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE))
            application.HandleMessage();
        else
            Sleep(10);
    }
    if (screen.DirectDraw() == nullptr) {
        std::fprintf(stderr, "bench_screen: the screen did not start\n");
        return 1;
    }

    // Alternating rounds, so that both see the same machine.
    std::vector<double> blanks;
    std::vector<double> fades;
    for (int round = 0; round < kRounds; ++round) {
        auto start = Clock::now();
        for (int i = 0; i < 101; ++i)
            screen.WaitForVerticalBlank();
        blanks.push_back(SecondsSince(start));
        start = Clock::now();
        screen.FadeIn(100);
        fades.push_back(SecondsSince(start));
    }
    const double blank = Median(blanks);
    const double fade = Median(fades);
    std::printf("101 vertical blanks: %.3f ms\n", blank * 1000);
    std::printf("FadeIn(100):         %.1f ms\n", fade * 1000);
    // A display that does not wait for its blanks makes the first ratio meaningless; the
    // refresh rate DirectDraw reports gives a second baseline.
    if (blank > 0.001)
        std::printf("fade / blanks:       %.2f\n", fade / blank);
    else
        std::printf("fade / blanks:       - (the display does not wait for vertical blanks)\n");
    DWORD reported = 0;
    if (SUCCEEDED(screen.DirectDraw()->GetMonitorFrequency(&reported)) && reported > 0) {
        const double periods = 101.0 / reported;
        std::printf("refresh rate reported by DirectDraw: %lu Hz; 101 periods: %.1f ms\n",
                    static_cast<unsigned long>(reported), periods * 1000);
        std::printf("fade / 101 periods:  %.2f\n", fade / periods);
    }

    // The flip loop runs from the idle event for two seconds.
    long frames = 0;
    screen.OnFlip = [&](TComponent*) { ++frames; };
    screen.SetFlippingEnabled(true);
    const auto start = Clock::now();
    while (SecondsSince(start) < 2.0)
        application.HandleMessage();
    const double elapsed = SecondsSince(start);
    screen.SetFlippingEnabled(false);
    const double frameRate = static_cast<double>(frames) / elapsed;
    std::printf("flip loop:           %.1f frames a second\n", frameRate);
    if (blank > 0.001)
        std::printf("frames / blanks:     %.2f\n", frameRate / (101 / blank));
    if (reported > 0)
        std::printf("frames / refresh:    %.2f\n", frameRate / reported);
    screen.ShutDown();
    return 0;
}
