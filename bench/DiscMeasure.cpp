// Measures how exactly the budget predicts the discs the tools make: makes a
// noisy film, plans it for a format on a disc of its length, makes the disc and
// prints the plan, the real sizes, their deviations and how the multiplexer
// filled its sectors. Not a test: it runs for minutes (docs/disc-measurements.md).
//
//   tarvex-disc-measure DIR [--seconds N] [--disc-minutes N] [--format vcd|svcd|dvd]
//                       [--mux N] [--authoring N] [--audio KBPS] [--ac3] [--rate KBPS]
//
// --rate sets the video rate by hand instead of filling the disc, as the window's
// video rate field does; the disc must still hold the film. A VCD runs at 1150 kbps.

#include "budget/DiscRows.h"
#include "disc/PackScan.h"
#include "disc/Report.h"
#include "disc/Runner.h"
#include "tests/support/DiscPlans.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

using namespace tarvex;
using namespace tarvex::testkit;

namespace {

struct TArgs {
    std::string Dir;
    int Seconds = 600;
    int DiscMinutes = 10;
    TDiscFormat Format = TDiscFormat::SVCD;
    int Mux = -1;
    int Authoring = -1;
    std::uint32_t Audio = 0;
    bool Ac3 = false;
    std::uint32_t Rate = 0; ///< video bps; 0 fills the disc
};

std::uint32_t DefaultAudio(TDiscFormat format) {
    return format == TDiscFormat::VCD ? 224000 : format == TDiscFormat::SVCD ? 160000 : 192000;
}

bool Parse(int argc, char** argv, TArgs& a) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (arg == "--seconds")
            a.Seconds = std::stoi(next());
        else if (arg == "--disc-minutes")
            a.DiscMinutes = std::stoi(next());
        else if (arg == "--mux")
            a.Mux = std::stoi(next());
        else if (arg == "--authoring")
            a.Authoring = std::stoi(next());
        else if (arg == "--audio")
            a.Audio = static_cast<std::uint32_t>(std::stoi(next())) * 1000;
        else if (arg == "--rate")
            a.Rate = static_cast<std::uint32_t>(std::stoi(next())) * 1000;
        else if (arg == "--ac3")
            a.Ac3 = true;
        else if (arg == "--format") {
            const std::string f = next();
            a.Format = f == "vcd"   ? TDiscFormat::VCD
                       : f == "dvd" ? TDiscFormat::DVD
                                    : TDiscFormat::SVCD;
        } else if (a.Dir.empty() && arg[0] != '-')
            a.Dir = arg;
        else
            return false;
    }
    return !a.Dir.empty();
}

void PrintPacks(const std::string& name, std::int64_t sectorSize) {
    const TPackScan s = ScanPacks(name, sectorSize);
    std::printf("packs of %s (%lld-byte sectors): %lld sectors, %lld system headers, "
                "%lld padding bytes, %lld fill bytes\n",
                name.c_str(), static_cast<long long>(sectorSize), static_cast<long long>(s.Sectors),
                static_cast<long long>(s.SystemHeaders), static_cast<long long>(s.PaddingBytes),
                static_cast<long long>(s.FillBytes));
    std::printf("  mux rate %lld bit/s, buffers stated: video %lld bytes, audio %lld bytes\n",
                static_cast<long long>(s.MuxRate), static_cast<long long>(s.VideoBuffer),
                static_cast<long long>(s.AudioBuffer));
    const char* names[] = {"video", "audio", "subpicture", "navigation", "empty", "broken"};
    for (std::size_t k = 0; k < PackKinds; ++k) {
        const TPackCount& c = s.Kinds[k];
        if (c.Packs == 0) continue;
        std::printf("  %-10s packs %7lld  payload %11lld  mean payload %8.2f  header %6.2f"
                    "  GOP starts %lld\n",
                    names[k], static_cast<long long>(c.Packs), static_cast<long long>(c.Payload),
                    static_cast<double>(c.Payload) / static_cast<double>(c.Packs),
                    static_cast<double>(sectorSize) -
                        static_cast<double>(c.Payload) / static_cast<double>(c.Packs),
                    static_cast<long long>(c.GopStarts));
    }
}

void Row(const char* what, std::int64_t predicted, std::int64_t real) {
    std::printf("  %-34s predicted %11lld  real %11lld  %+8.3f %%  (%+lld)\n", what,
                static_cast<long long>(predicted), static_cast<long long>(real),
                Deviation(predicted, real), static_cast<long long>(real - predicted));
}

} // namespace

int main(int argc, char** argv) {
    TArgs a;
    if (!Parse(argc, argv, a)) {
        std::cerr << "usage: tarvex-disc-measure DIR [--seconds N] [--disc-minutes N] "
                     "[--format vcd|svcd|dvd] [--mux N] [--authoring N] [--audio KBPS] [--ac3] "
                     "[--rate KBPS]\n";
        return 2;
    }
    std::filesystem::create_directories(a.Dir);
    const std::string film = a.Dir + "/film-" + std::to_string(a.Seconds) + "s.avi";
    if (!MakeNoisyFilm(film, a.Seconds)) {
        std::cerr << "ffmpeg could not make " << film << "\n";
        return 1;
    }
    // A VCD has one video rate; the disc is not filled.
    if (a.Format == TDiscFormat::VCD && a.Rate == 0) a.Rate = 1150000;
    // Without a row given, those of the tools the disc maker runs.
    const TRows rows{
        static_cast<std::int8_t>(a.Mux >= 0 ? a.Mux : Index(ToolMux(a.Format))),
        static_cast<std::int8_t>(a.Authoring >= 0 ? a.Authoring : Index(ToolAuthoring(a.Format)))};
    TCDImage budget = [&] {
        TCDImage m = Budget(a.Format, rows, a.Seconds, a.DiscMinutes,
                            a.Audio ? a.Audio : DefaultAudio(a.Format));
        m.SetAC3Audio(a.Ac3);
        m.ComputeAuthoringOverhead();
        m.ComputeVideoRate();
        if (a.Rate != 0) m.SetVideoRate(a.Rate);
        m.ComputeImage();
        return m;
    }();
    std::printf("plan: %d s on a %d-minute disc (%u blocks), mux row %d, authoring row %d\n",
                a.Seconds, a.DiscMinutes, budget.BlocksUsable, budget.MuxMode,
                budget.AuthoringMode);
    std::printf("  video %u bps, audio %u bps, stream %lld bytes, image %u blocks, "
                "authoring %u + %u blocks\n",
                budget.VideoRate, budget.Audio1Rate, static_cast<long long>(budget.StreamBytes),
                budget.ImageBlocks, budget.AuthoringOverhead, budget.AuthoringReserve);

    const TDiscPlan plan = Plan(a.Format, film, std::int64_t{a.Seconds} * 25, budget);
    const std::string out = a.Dir + "/out-" + std::to_string(static_cast<int>(a.Format)) + "-" +
                            std::to_string(budget.VideoRate / 1000);
    const TDiscJob job = BuildJob(plan, out + "/.work", out);
    TMakeOptions options;
    options.KeepWork = true;
    int shown = -1;
    options.OnProgress = [&](const TProgress& p) {
        const int percent = static_cast<int>(p.Fraction * 100);
        if (percent == shown) return;
        shown = percent;
        std::fprintf(stderr, "\r%3d %% %-40s %6.0f s left ", percent, p.Step.c_str(),
                     p.SecondsLeft);
    };
    const TMakeResult result = MakeDiscs(job, options);
    std::fprintf(stderr, "\n");
    std::printf("%s\n", result.Message.c_str());
    if (result.Status != TMakeStatus::Done) return 1;

    for (const TDiscResult& disc : result.Discs) {
        const TDiscCheck c = CheckDisc(budget, disc, a.Format);
        std::printf("disc %d: %lld frames\n", c.Number, static_cast<long long>(disc.VideoFrames));
        Row("video bytes (encoder)", c.PlannedVideoBytes, c.RealVideoBytes);
        Row("audio bytes (encoder)", c.PlannedAudioBytes, c.RealAudioBytes);
        Row("multiplexed blocks (layout)", c.PredictedMuxBlocks, c.RealMuxBlocks);
        Row("image blocks (authoring)", c.PredictedImageBlocks, c.RealImageBlocks);
        Row("image blocks from the streams", c.StreamImageBlocks, c.RealImageBlocks);
        Row("image blocks (whole plan)", c.PlannedImageBlocks, c.RealImageBlocks);
        std::printf("  fits the disc of %lld blocks: %s\n", static_cast<long long>(c.BlocksUsable),
                    c.Fits ? "yes" : "NO");
        const std::string base = result.WorkDir + "/disc" + std::to_string(disc.Number);
        PrintPacks(base + ".mpg", a.Format == TDiscFormat::DVD ? 2048 : 2324);
        if (a.Format == TDiscFormat::DVD) PrintPacks(base + "_dvd/VIDEO_TS/VTS_01_1.VOB", 2048);
    }
    return 0;
}
