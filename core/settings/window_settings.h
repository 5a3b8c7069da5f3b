#pragma once
// The main window's place and size and the Aircraft table's column widths and sort, as the
// settings file keeps them in a section of their own, [Window]; and where a window restored
// from them opens on the screens there are now.
//
// Plain values: the window reads its widgets into WindowSettings before the settings are
// written, and applies what PlaceWindow gives when it opens.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvex {

// A rectangle in desktop pixels: a window's inside (without its frame), or the part of a
// screen that windows may use.
struct ScreenRect {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const ScreenRect&) const = default;
};

struct TableSort {
    int Column = 0;
    bool Descending = false;
    bool operator==(const TableSort&) const = default;
};

struct WindowSettings {
    std::optional<ScreenRect> Geometry;  // the window when not maximised; none: never saved
    bool Maximized = false;
    std::vector<int> AircraftColumns;  // empty: the table fits its columns to its width
    std::optional<TableSort> AircraftSort;
};

// Coordinates and sizes beyond this many pixels are refused.
inline constexpr int kMaxWindowPixels = 100000;
// Column widths read from the settings: narrower ones are raised to the least, wider ones refused.
inline constexpr int kLeastColumnWidth = 20;
inline constexpr int kMaxColumnWidth = 4000;

// "X,Y,WIDTH,HEIGHT" in whole pixels, blanks allowed around each number; a width or height
// below 1, or any number beyond ±kMaxWindowPixels, is refused.
std::optional<ScreenRect> ParseGeometry(std::string_view text);
std::string GeometryText(const ScreenRect& rect);
// `columns` widths separated by ",".
std::optional<std::vector<int>> ParseColumnWidths(std::string_view text, std::size_t columns);
// "COLUMN,ascending" or "COLUMN,descending" with a column below `columns`.
std::optional<TableSort> ParseTableSort(std::string_view text, int columns);

// The [Window] section of a settings file's whole text. A value that cannot be used is said
// in `problems` (with `settingsPath`) and left at its default.
WindowSettings ReadWindowSettings(std::string_view settingsText, const std::string& settingsPath,
                                  std::vector<std::string>& problems);
// Writes the [Window] section, and nothing while no geometry was ever saved (a run without the
// window keeps what it read). Raises platform::EIniWriteError.
void WriteWindowSettings(const std::string& settingsPath, const WindowSettings& settings);

// The least part of a window's top edge that must lie on a screen for the window to stay
// where it was saved: enough to grab it there.
inline constexpr int kGripWidth = 100;
inline constexpr int kGripHeight = 20;

// Where a window opens: the saved place and size, the size raised to the minimum and cut to
// the usable part of the screen the window's top edge is on (never below the minimum). When
// that edge lies on no screen now, or nothing was saved, the window is centred on the first
// screen (the primary one) instead, with the saved size or the minimum, cut the same way.
// `screens` are the usable parts of the screens.
ScreenRect PlaceWindow(const std::optional<ScreenRect>& saved, int minWidth, int minHeight,
                       std::span<const ScreenRect> screens);

}  // namespace quorvex
