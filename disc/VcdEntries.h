// The entry points of a VCD or SVCD at its chapters: a vcdxbuild project.
#pragma once

#include "disc/DiscJob.h"

#include <string>
#include <vector>

namespace tarvex {

/// Adds the step that authors `part` into its image: vcdxbuild with entry points
/// when the part has chapters, else vcdimager.
void AddVcdAuthoring(const TDiscPlan& plan, TDiscPart& part, const std::string& title,
                     double weight);

} // namespace tarvex
