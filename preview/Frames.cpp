#include "preview/Frames.h"

#include "common/Module.h"
#include "preview/FrameSource.h"

namespace tarvex {

namespace {

/// The module's factory; null (with the loader's message) when the module cannot
/// be loaded.
TFrameSourceFactory Factory(std::string& failure) {
    return reinterpret_cast<TFrameSourceFactory>(LoadModuleSymbol(
        "libtarvex_framereader.so", TARVEX_FRAMEREADER_PATH, FrameSourceSymbol, failure));
}

} // namespace

std::string FrameLibraryFailure() {
    std::string failure;
    Factory(failure);
    return failure;
}

TFrameReader::TFrameReader() = default;

TFrameReader::~TFrameReader() = default;

TFrameError TFrameReader::Open(const std::string& name, const TFrameCrop& crop) {
    Source.reset();
    std::string failure;
    const TFrameSourceFactory factory = Factory(failure);
    if (!factory) return TFrameError::NoLibrary;
    Source.reset(factory());
    Source->SetCancel(Cancel);
    const TFrameError error = Source->Open(name, crop);
    if (error != TFrameError::None) Source.reset();
    return error;
}

int TFrameReader::Width() const {
    return Source ? Source->Width() : 0;
}

int TFrameReader::Height() const {
    return Source ? Source->Height() : 0;
}

double TFrameReader::Duration() const {
    return Source ? Source->Duration() : 0;
}

std::optional<TFrame> TFrameReader::DecodeAt(double fraction, bool withRgb) {
    if (!Source) return std::nullopt;
    return Source->DecodeAt(fraction, withRgb);
}

} // namespace tarvex
