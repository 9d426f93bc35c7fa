// The steps of a disc beyond encoding and multiplexing its film: the choice of
// the sound tracks, and the DVD's authoring with chapters, languages, subtitles
// and menu.
#pragma once

#include "disc/DiscJob.h"

#include <string>

namespace tarvex {

/// The film's sound track that fills planned stream `stream` (from 1), or -1
/// when the stream is silent: a film without that track never repeats another.
int SourceSoundTrack(const TDiscPlan& plan, int stream);

/// Adds the steps that author `part`'s multiplexed file into the DVD folder `dir`.
void AddDvdAuthoring(const TDiscPlan& plan, const std::string& dir, TDiscPart& part,
                     const std::string& title, double weight);

} // namespace tarvex
