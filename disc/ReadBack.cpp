#include "disc/ReadBack.h"

#include "disc/JobParts.h"
#include "disc/PackScan.h"
#include "disc/Process.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>

namespace fs = std::filesystem;

namespace tarvex {

namespace {

using job::Whole;

/// A reader's output is kept to this many lines of at most this many characters.
constexpr std::size_t MaxLines = 4000;
constexpr std::size_t MaxLineLength = 400;
/// Bytes of a sector a VCD reader takes out of a CD track.
constexpr std::int64_t CdSectorBytes = 2324;

int SmallWhole(std::string_view text) {
    const std::int64_t value = Whole(text);
    return value >= 0 && value <= 1000000 ? static_cast<int>(value) : 0;
}

/// The text after `key` up to the next comma, or empty when the line lacks it.
std::string_view Field(std::string_view line, std::string_view key) {
    const std::size_t at = line.find(key);
    if (at == std::string_view::npos) return {};
    std::string_view rest = line.substr(at + key.size());
    return rest.substr(0, rest.find(','));
}

/// "h:mm:ss.fff" as seconds, or -1.
double Clock(std::string_view text) {
    double seconds = 0;
    for (int part = 0; part < 3; ++part) {
        const std::size_t end = part < 2 ? text.find(':') : text.size();
        if (end == std::string_view::npos) return -1;
        double value = 0;
        const std::string_view number = text.substr(0, end);
        if (number.empty() || number[0] < '0' || number[0] > '9') return -1;
        const auto [stop, ec] =
            std::from_chars(number.data(), number.data() + number.size(), value);
        if (ec != std::errc() || stop != number.data() + number.size() || value < 0) return -1;
        seconds = seconds * 60 + value;
        text = part < 2 ? text.substr(end + 1) : std::string_view{};
    }
    return seconds;
}

/// "16:9" as a number, or 0.
double Ratio(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return 0;
    const std::int64_t num = Whole(text.substr(0, colon));
    const std::int64_t den = Whole(text.substr(colon + 1));
    return num > 0 && den > 0 ? static_cast<double>(num) / static_cast<double>(den) : 0;
}

std::string Text(double v, int decimals) {
    std::string text(32, '\0');
    const auto result = std::to_chars(text.data(), text.data() + text.size(), v,
                                      std::chars_format::fixed, decimals);
    text.resize(static_cast<std::size_t>(result.ptr - text.data()));
    return text;
}

void AddDifference(std::string& all, const std::string& one) {
    all += (all.empty() ? "" : "; ") + one;
}

void CompareVideo(const TExpectedDisc& e, const std::vector<TProbedStream>& streams,
                  TReadBack& result) {
    const TProbedStream* video = nullptr;
    std::int64_t frames = 0;
    for (const TProbedStream& s : streams) {
        if (s.Type != "video" || s.Width <= 0) continue;
        frames += s.Packets;
        if (!video) video = &s;
    }
    // The menu's pictures lie in the image before the title's.
    frames -= e.MenuFrames;
    if (!video) return AddDifference(result.Difference, "no video stream was found");
    result.Found.push_back("video: " + video->Codec + ", " + std::to_string(video->Width) + "x" +
                           std::to_string(video->Height) + ", display aspect " + video->Aspect +
                           ", field order " + video->FieldOrder + ", " + std::to_string(frames) +
                           " pictures (planned " + std::to_string(e.Frames) + ")");
    if (frames != e.Frames)
        AddDifference(result.Difference, "the video has " + std::to_string(frames) +
                                             " pictures where the plan has " +
                                             std::to_string(e.Frames));
    // With pulldown the player shows more fields than there are pictures: both counts
    // must be the plan's. The menu's pictures show two fields each.
    if (video->ShownFields >= 0) {
        const std::int64_t fields = video->ShownFields - 2 * e.MenuFrames;
        result.Found.push_back("the player shows " + std::to_string(fields) + " fields, " +
                               Text(static_cast<double>(fields) / 2, 1) + " frames (planned " +
                               std::to_string(e.Fields) + " fields)");
        if (fields != e.Fields)
            AddDifference(result.Difference, "the player shows " + std::to_string(fields) +
                                                 " fields where the plan has " +
                                                 std::to_string(e.Fields));
    }
    if (video->Width != e.Width || video->Height != e.Height)
        AddDifference(result.Difference, "the picture is " + std::to_string(video->Width) + "x" +
                                             std::to_string(video->Height) +
                                             " where the plan has " + std::to_string(e.Width) +
                                             "x" + std::to_string(e.Height));
    if (std::fabs(Ratio(video->Aspect) / e.Aspect - 1) > 0.02)
        AddDifference(result.Difference, "the display aspect is " + video->Aspect +
                                             " where the plan has " + Text(e.Aspect, 4));
    // MPEG-1 has no fields: ffprobe does not name an order for it.
    const bool progressive = video->FieldOrder == "progressive" ||
                             (video->Codec == "mpeg1video" && video->FieldOrder == "unknown");
    if (progressive ? e.FieldOrder != "progressive" : video->FieldOrder != e.FieldOrder)
        AddDifference(result.Difference, "the field order is " + video->FieldOrder +
                                             " where the plan has " + e.FieldOrder);
}

void CompareAudio(const TExpectedDisc& e, const std::vector<TProbedStream>& streams,
                  TReadBack& result) {
    int count = 0;
    for (const TProbedStream& s : streams) {
        // A stray start code in a file system block can look like a sound packet.
        if (s.Type != "audio" || s.SampleRate <= 0 || s.Packets < 2) continue;
        ++count;
        result.Found.push_back("audio stream " + std::to_string(count) + ": " + s.Codec + ", " +
                               std::to_string(s.SampleRate) + " Hz, " + std::to_string(s.Channels) +
                               (s.Channels == 1 ? " channel" : " channels"));
        if (s.Codec != e.AudioCodec || s.SampleRate != e.SampleRate)
            AddDifference(result.Difference, "audio stream " + std::to_string(count) + " is " +
                                                 s.Codec + " at " + std::to_string(s.SampleRate) +
                                                 " Hz where the plan has " + e.AudioCodec + " at " +
                                                 std::to_string(e.SampleRate) + " Hz");
    }
    if (count != e.AudioStreams)
        AddDifference(result.Difference, std::to_string(count) +
                                             " audio streams were found where the plan has " +
                                             std::to_string(e.AudioStreams));
}

/// The video buffer the track's system headers state, against the most its disc
/// allows: a player's buffer larger than the standard's cannot be counted on.
std::string CompareVideoBuffer(const TExpectedDisc& e, const std::string& track,
                               TReadBack& result) {
    std::int64_t stated = 0;
    try {
        stated = ScanPacks(track, CdSectorBytes).VideoBuffer;
    } catch (const std::runtime_error&) {
    }
    const std::string kb = std::to_string(e.VideoBufferBytes / 1024) + " KB";
    if (stated <= 0)
        AddDifference(result.Difference, "no system header states the video buffer");
    else if (stated > e.VideoBufferBytes)
        AddDifference(result.Difference, "the system header states a video buffer of " +
                                             std::to_string(stated / 1024) +
                                             " KB where the disc allows " + kb);
    return "system header: video buffer " + std::to_string(stated / 1024) + " KB (at most " + kb +
           ")";
}

/// Runs one reader to its end and keeps its standard output.
struct TReader {
    const TReadBackContext& Context;
    std::vector<std::string> Lines;

    /// Runs args[0]; its lines go to `each` when given, else into Lines.
    bool Run(std::vector<std::string> args, const std::string& dir, std::string& failure,
             const std::function<void(std::string_view)>& each = {}) {
        Lines.clear();
        const std::string program = FindProgram(args.at(0), Context.SearchPath);
        if (program.empty()) {
            failure = args[0] + " is missing";
            return false;
        }
        std::string line = "$";
        for (const std::string& arg : args) line += " " + arg;
        Log(line);
        const auto keep = [this, &each](std::string_view text) {
            if (each)
                each(text.substr(0, MaxLineLength));
            else if (Lines.size() < MaxLines)
                Lines.emplace_back(text.substr(0, MaxLineLength));
        };
        const auto log = [this](std::string_view text) { Log(text.substr(0, MaxLineLength)); };
        const TProcessResult run =
            RunProcess({.Program = program, .Args = std::move(args), .Env = {}, .Dir = dir}, keep,
                       log, Context.Cancel);
        Log("# exit code " + std::to_string(run.ExitCode));
        if (run.Started && run.ExitCode == 0) return true;
        failure = run.Cancelled ? "reading it back was cancelled"
                  : run.Started ? program + " ended with exit code " + std::to_string(run.ExitCode)
                                : program + " could not start: " + run.StartError;
        return false;
    }
    void Log(std::string_view text) const {
        if (Context.Log) Context.Log(text);
    }
};

/// ffprobe with `options` on `file`.
std::vector<std::string> ProbeArgs(const std::string& file, bool programStream,
                                   const std::vector<std::string>& options) {
    std::vector<std::string> args = {"ffprobe", "-v", "error"};
    args.insert(args.end(), options.begin(), options.end());
    // The image holds the file system before the title's program stream.
    if (programStream) args.insert(args.end(), {"-f", "mpeg"});
    args.push_back(file);
    return args;
}

/// Fields a player shows, from the playing time of every video picture of `file`:
/// with pulldown flags a film frame plays for two or three fields of 1/59.94 s.
/// Pulldown goes on NTSC discs only. -1 when it cannot be read.
std::int64_t CountShownFields(TReader& reader, const std::string& file, bool programStream,
                              std::string& failure) {
    std::int64_t fields = 0;
    bool readable = true;
    const auto count = [&](std::string_view line) {
        constexpr std::string_view key = "duration_time=";
        if (!line.starts_with(key)) return;
        line.remove_prefix(key.size());
        double seconds = -1;
        const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), seconds);
        // A picture plays for at most three fields; anything else is no picture's time.
        if (ec != std::errc() || end != line.data() + line.size() || !(seconds > 0) ||
            seconds > 0.1) {
            readable = false;
            return;
        }
        fields += std::llround(seconds * 60000 / 1001);
    };
    if (!reader.Run(ProbeArgs(file, programStream,
                              {"-select_streams", "v", "-show_entries", "packet=duration_time",
                               "-of", "default=nw=1"}),
                    {}, failure, count))
        return -1;
    if (!readable) failure = "a picture has no playing time";
    return readable ? fields : -1;
}

/// Probes `file` and, for a plan with pulldown, counts the fields the player shows.
bool Probe(TReader& reader, const TExpectedDisc& e, const std::string& file, bool programStream,
           std::vector<TProbedStream>& streams, std::string& failure) {
    const std::vector<std::string> options = {
        "-count_packets", "-show_entries",
        "stream=codec_type,codec_name,width,height,display_aspect_ratio,field_order,sample_rate,"
        "channels,nb_read_packets",
        "-of", "default=nw=0"};
    if (!reader.Run(ProbeArgs(file, programStream, options), {}, failure)) return false;
    streams = ParseProbe(reader.Lines);
    if (e.Fields == 2 * e.Frames) return true;
    const std::int64_t fields = CountShownFields(reader, file, programStream, failure);
    if (fields < 0) return false;
    for (TProbedStream& s : streams)
        if (s.Type == "video" && s.Width > 0) {
            s.ShownFields = fields;
            break;
        }
    return true;
}

TReadBack ReadDvd(const TDiscPart& part, const fs::path& image, TReader& reader) {
    std::string failure;
    TDvdTitle title;
    if (reader.Run({"lsdvd", "-x", image.string()}, {}, failure)) title = ParseLsdvd(reader.Lines);
    if (!title.Opened)
        return {{},
                "libdvdread cannot open the image" +
                    (failure.empty() ? std::string() : " (" + failure + ")")};
    std::vector<TProbedStream> streams;
    if (!Probe(reader, part.Expected, image.string(), true, streams, failure))
        return {{}, "its streams could not be read: " + failure};
    return CompareReadBack(part.Expected, streams, &title);
}

TReadBack ReadCd(const TDiscPart& part, const fs::path& work, TReader& reader) {
    const fs::path rip = work / ("disc" + std::to_string(part.Number) + "_read");
    std::error_code ec;
    fs::remove_all(rip, ec);
    fs::create_directories(rip, ec);
    const fs::path cue = work / (fs::path(part.Images.at(0).WorkName).replace_extension(".cue"));
    std::string failure;
    if (ec || !reader.Run({"vcdxrip", "-q", "--nofiles", "--nosegments", "-c", cue.string()},
                          rip.string(), failure))
        return {{}, "the VCD reader cannot read the image (" + (ec ? ec.message() : failure) + ")"};
    std::vector<fs::path> tracks;
    for (auto entry = fs::directory_iterator(rip, ec); !ec && entry != fs::directory_iterator();
         entry.increment(ec))
        if (entry->path().extension() == ".mpg") tracks.push_back(entry->path());
    if (tracks.size() != 1)
        return {{},
                "the VCD reader found " + std::to_string(tracks.size()) +
                    " tracks where the plan has 1"};
    std::vector<TProbedStream> streams;
    if (!Probe(reader, part.Expected, tracks[0].string(), false, streams, failure))
        return {{}, "the track read back could not be read: " + failure};
    TReadBack result = CompareReadBack(part.Expected, streams, nullptr);
    result.Found.insert(result.Found.begin(),
                        {"the VCD reader took 1 track out of the image",
                         CompareVideoBuffer(part.Expected, tracks[0].string(), result)});
    fs::remove_all(rip, ec);
    return result;
}

} // namespace

std::vector<TProbedStream> ParseProbe(const std::vector<std::string>& lines) {
    std::vector<TProbedStream> streams;
    bool inside = false;
    for (const std::string& line : lines) {
        if (line == "[STREAM]") {
            streams.emplace_back();
            inside = true;
            continue;
        }
        if (line == "[/STREAM]") inside = false;
        const std::size_t eq = line.find('=');
        if (!inside || eq == std::string::npos) continue;
        const std::string_view key = std::string_view(line).substr(0, eq);
        const std::string value = line.substr(eq + 1);
        TProbedStream& s = streams.back();
        if (key == "codec_type") s.Type = value;
        if (key == "codec_name") s.Codec = value;
        if (key == "width") s.Width = SmallWhole(value);
        if (key == "height") s.Height = SmallWhole(value);
        if (key == "display_aspect_ratio") s.Aspect = value;
        if (key == "field_order") s.FieldOrder = value;
        if (key == "sample_rate") s.SampleRate = SmallWhole(value);
        if (key == "channels") s.Channels = SmallWhole(value);
        if (key == "nb_read_packets") s.Packets = std::max<std::int64_t>(Whole(value), 0);
    }
    return streams;
}

TDvdTitle ParseLsdvd(const std::vector<std::string>& lines) {
    TDvdTitle title;
    for (const std::string& line : lines) {
        if (line.rfind("Title: ", 0) != 0) continue;
        std::string_view length = Field(line, "Length: ");
        length = length.substr(0, length.find(' '));
        const double seconds = Clock(length);
        if (seconds < 0) continue;
        title.Opened = true;
        title.Seconds = seconds;
        break;
    }
    return title;
}

TReadBack CompareReadBack(const TExpectedDisc& expected, const std::vector<TProbedStream>& streams,
                          const TDvdTitle* dvd) {
    TReadBack result;
    if (dvd) {
        result.Found.push_back("libdvdread opens the image: a title of " + Text(dvd->Seconds, 2) +
                               " s (planned " + Text(expected.Seconds, 2) + " s)");
        // The title's time is counted in whole video frames; a second is far beyond that.
        if (std::fabs(dvd->Seconds - expected.Seconds) > 1)
            AddDifference(result.Difference, "the title plays " + Text(dvd->Seconds, 2) +
                                                 " s where the plan has " +
                                                 Text(expected.Seconds, 2) + " s");
    }
    CompareVideo(expected, streams, result);
    CompareAudio(expected, streams, result);
    return result;
}

std::vector<std::string> ReadBackTools(TDiscFormat format) {
    if (format == TDiscFormat::DVD) return {"lsdvd", "ffprobe"};
    return {"vcdxrip", "ffprobe"};
}

TReadBack ReadBackImage(TDiscFormat format, const TDiscPart& part,
                        const TReadBackContext& context) {
    TReader reader{context, {}};
    const fs::path work = context.WorkDir;
    if (part.Images.empty()) return {{}, "the job names no image"};
    if (format == TDiscFormat::DVD) return ReadDvd(part, work / part.Images[0].WorkName, reader);
    return ReadCd(part, work, reader);
}

} // namespace tarvex
