#include "disc/DvdSubpictures.h"

#include "disc/DvdAuthor.h"
#include "disc/JobParts.h"
#include "disc/Pulldown.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>

namespace tarvex {

using namespace job;

namespace {

/// The file the first step lists the visible frames in, inside the images' folder.
constexpr const char* FramesFile = "frames.txt";
/// The largest frame list and image read back; both come from the film.
constexpr std::uintmax_t MaxListBytes = 64u << 20;
constexpr std::uintmax_t MaxImageBytes = 8u << 20;

/// The graph that draws the subtitle stream on the film's canvas and brings it to
/// the disc's frame the way the film's picture is cropped, resized and bordered.
std::string Graph(const TDiscPlan& plan, int index, const std::string& dir) {
    // Times in milliseconds: the images are named by them and the list gives them.
    return "[0:s:" + IntToStr(index) + "]settb=1/1000," +
           CanvasToFrame(PictureSteps(plan.Picture)) +
           ",split[all][seen];[seen]alphaextract,bbox,metadata=mode=print:file=" + dir + "/" +
           FramesFile +
           ",nullsink;[all]split[a][b];[a]palettegen=max_colors=4:reserve_transparent=1:"
           "stats_mode=single[p];[b][p]paletteuse=new=1:dither=none";
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(a, ec);
    if (ec || size > MaxImageBytes || std::filesystem::file_size(b, ec) != size || ec) return false;
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(fa), {}, std::istreambuf_iterator<char>(fb));
}

/// The milliseconds of a SubRip time "HH:MM:SS,mmm", or -1.
std::int64_t SrtTime(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    text = text.substr(0, text.find(' '));
    const std::size_t m = text.find(':');
    const std::size_t s = m == std::string_view::npos ? m : text.find(':', m + 1);
    const std::size_t ms = s == std::string_view::npos ? s : text.find_first_of(",.", s);
    if (ms == std::string_view::npos) return -1;
    const std::int64_t parts[] = {Whole(text.substr(0, m)), Whole(text.substr(m + 1, s - m - 1)),
                                  Whole(text.substr(s + 1, ms - s - 1)),
                                  Whole(text.substr(ms + 1))};
    // Bounded so that no film's time overflows.
    if (parts[0] < 0 || parts[0] > 1000000 || parts[1] < 0 || parts[1] > 59 || parts[2] < 0 ||
        parts[2] > 59 || parts[3] < 0 || parts[3] > 999)
        return -1;
    return ((parts[0] * 60 + parts[1]) * 60 + parts[2]) * 1000 + parts[3];
}

std::string SrtTimeText(std::int64_t ms) {
    std::array<char, 48> text{};
    std::snprintf(text.data(), text.size(), "%02lld:%02lld:%02lld,%03lld",
                  static_cast<long long>(ms / 3600000), static_cast<long long>(ms / 60000 % 60),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return text.data();
}

} // namespace

std::vector<TStep> SubpictureSteps(const TDiscPlan& plan, const TDiscPart& part, int index,
                                   const TSubtitleCut& cut, const std::string& dir,
                                   const std::string& project, double weight) {
    const std::string title = "Disc " + IntToStr(part.Number) + ": subtitle pictures";
    const std::vector<std::string> draw =
        Concat(Concat(Concat({"ffmpeg", "-nostdin", "-hide_banner", "-v", "error", "-y"}, cut.Args),
                      FileInput(InputOf(plan))),
               {"-filter_complex", Graph(plan, index, dir), "-fps_mode", "passthrough",
                "-enc_time_base", "1:1000", "-frame_pts", "1",
                // One more than a disc takes: the project step then refuses the stream.
                "-frames:v", IntToStr(MaxSubpictures + 1), dir + "/%d.png"});
    // The film's times; the disc plays them scaled when its frames are retimed.
    const double scale = plan.SrcFrameRate / Value(ScriptRate(plan));
    const double seconds =
        static_cast<double>(part.EndFrame - part.FirstFrame) / Value(ScriptRate(plan));
    return {Step(title, draw, 0.5 * weight, {}),
            Step(title,
                 {PulldownProgram(), "--subpictures", dir, project,
                  plan.Picture.DestIsPAL ? "PAL" : "NTSC", Num(scale), Num(seconds),
                  IntToStr(cut.LeadMs)},
                 0.05 * weight, {project})};
}

std::vector<TSubpictureShow>
SubpictureShows(std::vector<std::int64_t> frames, std::vector<std::int64_t> shown, std::int64_t end,
                const std::function<bool(std::int64_t, std::int64_t)>& same) {
    if (frames.size() > MaxSubpictures || shown.size() > MaxSubpictures)
        throw TSubpictureError("the film's subtitle stream has more than " +
                               IntToStr(MaxSubpictures) + " pictures on this disc");
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    std::sort(shown.begin(), shown.end());
    std::vector<TSubpictureShow> shows;
    bool open = false; // the last show lasts until the frame after it, within the disc
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const std::int64_t t = frames[i];
        const std::int64_t until = std::min(i + 1 < frames.size() ? frames[i + 1] : end, end);
        const bool visible = std::binary_search(shown.begin(), shown.end(), t);
        if (visible && open && same(shows.back().Frame, t))
            shows.back().End = until;
        else if (visible)
            shows.push_back({t, t, until});
        open = visible;
    }
    std::erase_if(shows, [](const TSubpictureShow& s) { return s.End <= s.Start; });
    return shows;
}

std::size_t WriteSubpictureProject(const std::string& dir, const std::string& out, bool pal,
                                   double timeScale, double endSeconds, std::int64_t leadMs) {
    namespace fs = std::filesystem;
    std::vector<std::int64_t> frames;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (name.size() < 5 || !name.ends_with(".png")) continue;
        const std::int64_t ms = Whole(std::string_view(name).substr(0, name.size() - 4));
        if (ms >= 0) frames.push_back(ms);
        if (frames.size() > MaxSubpictures) break; // refused below
    }
    // "frame:N pts:MS pts_time:S" lines, each followed by the bounding box when visible.
    const fs::path list = fs::path(dir) / FramesFile;
    std::error_code ec;
    if (fs::file_size(list, ec) > MaxListBytes && !ec)
        throw TSubpictureError("the list of subtitle pictures is too long");
    std::ifstream in(list);
    std::vector<std::int64_t> shown;
    std::int64_t pts = -1; // of the frame whose lines follow; -1: none
    for (std::string line; std::getline(in, line) && shown.size() <= MaxSubpictures;) {
        if (line.starts_with("frame:")) {
            const std::size_t at = line.find("pts:");
            const std::size_t stop = line.find(' ', at);
            pts = at == std::string::npos
                      ? -1
                      : Whole(std::string_view(line).substr(at + 4, stop - at - 4));
        } else if (line.starts_with("lavfi.bbox.w=") && pts >= 0) {
            shown.push_back(pts);
            pts = -1;
        }
    }
    const auto image = [&dir](std::int64_t ms) { return fs::path(dir) / (IntToStr(ms) + ".png"); };
    const auto end =
        leadMs + static_cast<std::int64_t>(std::llround(endSeconds / timeScale * 1000));
    std::vector<TSubpictureShow> shows =
        SubpictureShows(frames, shown, end, [&](std::int64_t a, std::int64_t b) {
            return SameFile(image(a), image(b));
        });
    // A picture drawn before the disc's share and still shown at its start shows from there.
    for (TSubpictureShow& s : shows) s.Start = std::max(s.Start, leadMs);
    std::erase_if(shows, [](const TSubpictureShow& s) { return s.End <= s.Start; });
    const auto at = [timeScale, leadMs](std::int64_t ms) {
        return MillisText(std::llround(static_cast<double>(ms - leadMs) * timeScale));
    };
    std::string xml =
        std::string("<subpictures format=\"") + (pal ? "PAL" : "NTSC") + "\">\n<stream>\n";
    for (const TSubpictureShow& s : shows)
        xml += "<spu image=\"" + XmlText(image(s.Frame).string()) + "\" start=\"" + at(s.Start) +
               "\" end=\"" + at(s.End) + "\"/>\n";
    xml += "</stream>\n</subpictures>\n";
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file << xml;
    if (!file.flush()) throw TSubpictureError("cannot write " + out);
    return shows.size();
}

std::size_t WriteTextShare(const std::string& in, const std::string& out, std::int64_t firstMs,
                           std::int64_t endMs) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(in, ec);
    if (ec || size > MaxListBytes) throw TSubpictureError("cannot read the subtitles " + in);
    std::ifstream source(in, std::ios::binary);
    std::string kept;
    std::size_t count = 0;
    bool inside = false; // within a subtitle that is kept, after its times
    for (std::string line; std::getline(source, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t arrow = line.find("-->");
        if (line.empty()) {
            if (inside) kept += "\n";
            inside = false;
        } else if (arrow != std::string::npos && !inside) {
            const std::int64_t from = SrtTime(line.substr(0, arrow));
            const std::int64_t start = std::max(from, firstMs);
            const std::int64_t end = std::min(SrtTime(line.substr(arrow + 3)), endMs);
            inside = from >= 0 && end > start;
            if (inside)
                kept += IntToStr(++count) + "\n" + SrtTimeText(start - firstMs) + " --> " +
                        SrtTimeText(end - firstMs) + "\n";
        } else if (inside) {
            kept += line + "\n";
        }
    }
    if (inside) kept += "\n";
    std::ofstream target(out, std::ios::binary | std::ios::trunc);
    target << kept;
    if (!target.flush()) throw TSubpictureError("cannot write " + out);
    return count;
}

} // namespace tarvex
