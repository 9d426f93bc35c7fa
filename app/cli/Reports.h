// What tarvex-cli prints of the window as JSON: every control's state, what was
// computed, the warnings, the disc fill and the resize candidates.
#pragma once

#include "app/Main.h"

#include <nlohmann/json.hpp>

#include <iosfwd>
#include <string>
#include <vector>

namespace tarvex {

nlohmann::ordered_json WarningsJson(const TMainForm& form);
nlohmann::ordered_json DiscFillJson(const TMainForm& form);
nlohmann::ordered_json CandidatesJson(const TMainForm& form);
/// What the disc carries: its chapters, the sound tracks of its streams, its subtitles.
nlohmann::ordered_json DiscContentJson(const TMainForm& form);

/// --dump: every control's state, with the message boxes shown so far.
void Dump(const TMainForm& form, const std::vector<std::string>& messages, std::ostream& out);
/// --report: what the window computed, in the words of someone converting a film.
void Report(const TMainForm& form, const std::vector<std::string>& messages, std::ostream& out);

} // namespace tarvex
