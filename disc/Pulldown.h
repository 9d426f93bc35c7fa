// 3:2 pulldown for NTSC film: an MPEG-2 video stream coded as 23.976 progressive
// frames is rewritten so that players show it at 29.97, each film frame held for
// three or two fields. Only header bits change, so every byte keeps its place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvex {

/// A stream that cannot be given pulldown flags; the text says why, for the user.
class TPulldownError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// What a rewrite went through.
struct TPulldownCount {
    std::int64_t Pictures = 0;
    std::int64_t Gops = 0;
    std::int64_t Bytes = 0;
};

/// Fields shown before the film frame `displayIndex`.
std::int64_t PulldownFields(std::int64_t displayIndex);

/// Rewrites a stream fed in pieces of any size and hands the rewritten bytes to
/// the sink in order. It keeps only a few bytes between pieces. Throws
/// TPulldownError for a stream that is not MPEG-2 video of 23.976 progressive
/// frames, or that is damaged; what the sink got by then is to be thrown away.
class TPulldownWriter {
  public:
    using TSink = std::function<void(const std::uint8_t* data, std::size_t size)>;

    explicit TPulldownWriter(TSink sink) : Sink(std::move(sink)) {}
    void Write(const std::uint8_t* data, std::size_t size);
    /// Ends the stream: checks what is left and hands it on.
    TPulldownCount Finish();

  private:
    void Process(bool last);
    void Header(std::size_t at);
    void SequenceHeader(std::uint8_t* h);
    void Extension(std::uint8_t* h, std::size_t at);
    void Group(std::uint8_t* h);
    void Picture(const std::uint8_t* h);
    void EndGroup();
    void Need(std::size_t at, std::size_t bytes) const;

    TSink Sink;
    std::vector<std::uint8_t> Pending;
    TPulldownCount Count;
    bool SeenSequence = false;
    bool AwaitSequenceExtension = false;
    bool AwaitPictureExtension = false;
    bool InGroup = false;
    std::int64_t GroupBase = 0;     ///< film frames shown before the group's first one
    std::int64_t GroupPictures = 0; ///< pictures of the current group so far
    int GroupLast = -1;             ///< the highest picture number in the group
    std::int64_t CurrentDisplay = 0;
    std::vector<bool> GroupSeen = std::vector<bool>(1024);
};

/// Rewrites the file `in` into `out`; `out` is removed again when it fails.
TPulldownCount WritePulldownFile(const std::string& in, const std::string& out);

/// The program that runs the rewrite as a step of a disc job (tarvex-cli), as a
/// full name: beside the running program, else the one this build made.
std::string PulldownProgram();

} // namespace tarvex
