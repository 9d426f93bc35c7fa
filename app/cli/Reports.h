// The window's warnings, disc fill and resize candidates as JSON for tarvex-cli.
#pragma once

#include "app/Main.h"

#include <nlohmann/json.hpp>

namespace tarvex {

nlohmann::ordered_json WarningsJson(const TMainForm& form);
nlohmann::ordered_json DiscFillJson(const TMainForm& form);
nlohmann::ordered_json CandidatesJson(const TMainForm& form);
/// What the disc carries: its chapters, the sound tracks of its streams, its subtitles.
nlohmann::ordered_json DiscContentJson(const TMainForm& form);

} // namespace tarvex
