// Opening a film with libavformat the way both libav modules must: as a local
// file only, so that a playlist, a reference file or a name that looks like a
// protocol never reaches the network or starts another protocol. Included only
// by the modules that link libavformat.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

#include <string>

namespace tarvex {

/// avformat_open_input on `path` as a local file; `options` (may be null) are
/// taken over and freed. Returns libavformat's result.
inline int OpenLocalInput(AVFormatContext** context, const std::string& path,
                          AVDictionary* options) {
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const std::string url = "file:" + path;
    const int result = avformat_open_input(context, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    return result;
}

} // namespace tarvex
