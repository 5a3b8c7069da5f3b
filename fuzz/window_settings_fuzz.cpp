// The settings file's [Window] section on arbitrary text, and where a window it names opens.
//
// Input: the settings file's text.
//
// What must hold:
// - a geometry read has a width and height of 1 to kMaxWindowPixels and coordinates within
//   ±kMaxWindowPixels, and written back it reads the same;
// - column widths read are one per column, each from kLeastColumnWidth to kMaxColumnWidth;
// - a sort read names a column of the table;
// - a window placed from the geometry on two screens is at least the minimum size.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/comparison/aircraft_table.h"
#include "core/settings/window_settings.h"

namespace {

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "window_settings_fuzz: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvex;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> problems;
    const WindowSettings read = ReadWindowSettings(text, "F", problems);
    if (read.Geometry) {
        const ScreenRect& g = *read.Geometry;
        Check(g.Width >= 1 && g.Height >= 1 && g.Width <= kMaxWindowPixels &&
                  g.Height <= kMaxWindowPixels,
              "a size out of range");
        Check(std::abs(g.X) <= kMaxWindowPixels && std::abs(g.Y) <= kMaxWindowPixels,
              "a place out of range");
        Check(ParseGeometry(GeometryText(g)) == read.Geometry, "written back it reads otherwise");
    }
    if (!read.AircraftColumns.empty()) {
        Check(read.AircraftColumns.size() == kAircraftTableColumns, "a width per column");
        for (const int width : read.AircraftColumns) {
            Check(width >= kLeastColumnWidth && width <= kMaxColumnWidth, "a width out of range");
        }
    }
    if (read.AircraftSort) {
        Check(read.AircraftSort->Column >= 0 &&
                  read.AircraftSort->Column < static_cast<int>(kAircraftTableColumns),
              "a sort by no column");
    }
    const ScreenRect screens[] = {{0, 0, 1920, 1040}, {-1280, 0, 1280, 1024}};
    const ScreenRect placed = PlaceWindow(read.Geometry, 616, 584, screens);
    Check(placed.Width >= 616 && placed.Height >= 584, "smaller than the minimum");
    return 0;
}
