// Names every layer shares.
#pragma once

namespace tarvex {

/// Font colours the program asks for.
enum class TColour { Default, Black, Yellow, Red, Green, Navy };

} // namespace tarvex
