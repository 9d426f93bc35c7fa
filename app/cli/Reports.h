// What tarvex-cli prints of the window as JSON: every control's state, what was
// computed, the warnings, the disc fill and the resize candidates.
#pragma once

#include "app/Main.h"

#include <nlohmann/json.hpp>

#include <iosfwd>
#include <string>
#include <vector>

namespace tarvex {

/// --candidates: the resize heights that fit, each with what it costs and keeps.
nlohmann::ordered_json CandidatesJson(const TMainForm& form);

/// --dump: every control's state, with the message boxes shown so far.
void Dump(const TMainForm& form, const std::vector<std::string>& messages, std::ostream& out);
/// --report: what the window computed, in the words of someone converting a film.
void Report(const TMainForm& form, const std::vector<std::string>& messages, std::ostream& out);

} // namespace tarvex
