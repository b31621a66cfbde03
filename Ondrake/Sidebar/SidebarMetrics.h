#pragma once

#include <algorithm>

namespace ondrake::sidebar {

// The row layout and the drag arithmetic of the sections share these, so a drag of one pitch
// moves a row by exactly one place and one step nests it one level.
inline constexpr double kRowHeight = 28;
inline constexpr double kRowPitch = 29;
inline constexpr double kNestingStep = 11;
inline constexpr int kMaxIndentDepth = 6;

// Levels of indentation drawn for a depth: deeper rows draw as the deepest level, and a negative
// depth, which the tree never produces, as a root.
constexpr int indentLevels(int depth) { return std::clamp(depth, 0, kMaxIndentDepth); }

}  // namespace ondrake::sidebar
