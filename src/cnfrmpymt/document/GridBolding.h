#pragma once

namespace tavro {
class SSOleDBGrid;

/// Name of the style set that keeps a grid's cells and headings in normal weight.
inline constexpr char UnboldStyleSet[] = "UNBOLD";

/// Gives \a grid a bold font of its own while every column's cells and heading use the
/// not-bold "UNBOLD" style set. Raises what the grid raises.
void applyGridBolding(SSOleDBGrid& grid);
} // namespace tavro
