// Times what the open command does with a 32-megabit image with a copier header, the dialog
// left out (the analysis, then the load step behind the loading window), against reading the
// same file in 512-byte blocks, in the same run, and prints the ratio.
#include "app/ROMLoad.h"
#include "app/SnesForm.h"
#include "rom/RomAnalysis.h"
#include "tests/bench/Timing.h"
#include "tools/RomImageBuilder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

using namespace quillet;
constexpr int kRounds = 9;

template <typename Work> double MedianSeconds(Work work) {
    return bench::MedianSeconds(kRounds, work);
}

} // namespace

int main() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_HOTKEY_CLASS | ICC_TAB_CLASSES |
                                                                    ICC_BAR_CLASSES |
                                                                    ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    const auto path =
        (std::filesystem::temp_directory_path() / "quillet-bench-32mbit.smc").string();
    {
        std::vector<std::uint8_t> rom = samples::MakeRomData(32 * 131072, 32);
        samples::WriteInternalHeader(
            rom, samples::kHiRomArea,
            {.title = "BENCH 32 MEGABITS", .makeup = 0x21, .romSizeCode = 0x0C});
        samples::FixChecksum(rom, samples::kHiRomArea);
        const auto image = samples::Concatenate(samples::SuperWildCardHeader(512, 0), rom);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()),
                   static_cast<std::streamsize>(image.size()));
    }

    app::TForm1 form;
    app::TLoad load;
    form.SetLoadWindow(load);
    const double open = MedianSeconds([&] {
        NullSink log;
        AnalyseRomImage(path, form.FInfo, log);
        form.LoadRomImage(path, form.FInfo);
    });
    std::vector<std::uint8_t> buffer(app::kRomBufferSize);
    const double plain = MedianSeconds([&] {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        std::fseek(file, 512, SEEK_SET);
        for (std::size_t offset = 0; offset + 512 <= buffer.size(); offset += 512)
            if (std::fread(buffer.data() + offset, 1, 512, file) == 0)
                break;
        std::fclose(file);
    });
    // Where the time of the open goes: the analysis, and the loading window's showing and hiding.
    const double analysis = MedianSeconds([&] {
        NullSink log;
        AnalyseRomImage(path, form.FInfo, log);
    });
    const double window = MedianSeconds([&] {
        ShowWindow(load.Handle(), SW_SHOWNOACTIVATE);
        RedrawWindow(load.Handle(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        load.Hide();
    });
    std::filesystem::remove(path);
    std::printf("32-megabit image with a copier header, medians of %d runs\n", kRounds);
    std::printf("of the open: analysis %.2f ms, loading window shown, painted and hidden %.2f ms\n",
                analysis * 1000, window * 1000);
    std::printf("open (analysis and load step): %.2f ms, plain 512-byte reads: %.2f ms, ratio %.2f "
                "(target at most 3)\n",
                open * 1000, plain * 1000, open / plain);
    return 0;
}
