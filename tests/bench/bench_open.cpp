// Times what the open command does with a 32-megabit image with a copier header, the dialog
// left out (the analysis, then the load step behind the loading window), against reading the
// same file in 512-byte blocks, in the same run, and prints the ratio. Also times how long the
// Details window waits for the details, which are computed after the command.
#include "app/DatFiles.h"
#include "app/DatFilesForm.h"
#include "app/Details.h"
#include "app/Progress.h"
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
    app::TDatFiles datFiles;
    app::TfrmDetails details{form};
    app::TfrmProgress progress{form};
    app::TfrmDatFiles datDialog{form, datFiles, progress};
    form.SetDetailsWindows(details, datDialog, datFiles);
    // The details arrive through the message loop.
    const auto waitForDetails = [&] {
        while (form.DetailsComputing()) {
            MSG message;
            if (GetMessageA(&message, nullptr, 0, 0) <= 0)
                break;
            DispatchMessageA(&message);
        }
    };
    std::vector<double> opens;
    std::vector<double> filled;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = bench::Clock::now();
        NullSink log;
        AnalyseRomImage(path, form.FInfo, log);
        form.LoadRomImage(path, form.FInfo);
        opens.push_back(bench::SecondsSince(start));
        waitForDetails();
        filled.push_back(bench::SecondsSince(start));
    }
    const double open = bench::Median(opens);
    const double detailsFilled = bench::Median(filled);
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
                "(target at most 12)\n",
                open * 1000, plain * 1000, open / plain);
    std::printf("Details window filled after %.2f ms from the start of the open, ratio %.2f to the "
                "plain reads\n",
                detailsFilled * 1000, detailsFilled / plain);
    return 0;
}
