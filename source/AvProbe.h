// The boundary between the source reader and the probe library, the one part of
// Tarvex that links libavformat. The library is loaded only when a file needs it,
// so that starting Tarvex and opening the files read by hand stay fast. Both sides
// see only plain C types here.
#pragma once

#include <cstdint>

extern "C" {

/// How far a probe may go before it gives up.
struct TAvProbeLimits {
    std::int64_t ProbeSize;         ///< bytes read to find the streams and their parameters
    std::int64_t AnalyzeDurationUs; ///< stream time read for the same, in microseconds
    std::int64_t TimeLimitUs;       ///< wall-clock time for the whole probe, in microseconds
};

/// The first video stream of a file, as the probe library found it.
struct TAvProbeResult {
    std::int32_t Width;
    std::int32_t Height;
    std::int32_t SarNum; ///< pixel shape; 0/0 or 0/1 when unknown
    std::int32_t SarDen;
    std::int32_t RateNum; ///< frames per second; 0/0 when unknown
    std::int32_t RateDen;
    std::int64_t StreamFrames;   ///< frames the container records; 0 when it records none
    std::int64_t StreamDuration; ///< in TimeBaseNum / TimeBaseDen seconds; -1 when unknown
    std::int32_t TimeBaseNum;
    std::int32_t TimeBaseDen;
    std::int64_t FileDurationUs; ///< the whole file's, in microseconds; -1 when unknown
    std::int32_t FieldOrder;     ///< a TFieldOrder value
    char CodecTag[5];            ///< the container's four-character code, NUL-terminated
    char CodecName[32];          ///< libavcodec's name of the codec, NUL-terminated
    char Reason[256];            ///< why the probe failed, NUL-terminated
};

/// Probes `path`; 0 on success, else non-zero with `Reason` filled in.
using TAvProbeFunction = int (*)(const char* path, const TAvProbeLimits* limits,
                                 TAvProbeResult* result);

/// The name the library exports the function under; a new layout gets a new name.
inline constexpr const char* AvProbeSymbol = "tarvex_avprobe_v1";
}
