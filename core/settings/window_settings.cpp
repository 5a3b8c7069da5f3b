#include "core/settings/window_settings.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "core/comparison/aircraft_table.h"
#include "platform/ini_file.h"

namespace quorvex {
namespace {

constexpr std::string_view kSection = "Window";

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A decimal whole number filling `text` but for blanks around it.
std::optional<int> WholeNumber(std::string_view text) {
    text = Trimmed(text);
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

// The fields of `text` between commas; at most `most` + 1, so a long list costs no more.
std::vector<std::string_view> Fields(std::string_view text, std::size_t most) {
    std::vector<std::string_view> fields;
    while (fields.size() <= most) {
        const std::size_t comma = text.find(',');
        fields.push_back(text.substr(0, comma));
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return fields;
}

std::string Joined(const std::vector<int>& numbers) {
    std::string text;
    for (const int number : numbers) {
        text += (text.empty() ? "" : ",") + std::to_string(number);
    }
    return text;
}

std::string Problem(const std::string& path, std::string_view key, const std::string& value,
                    std::string_view what) {
    return path + ": [Window] " + std::string(key) + "=" + value + " is " + std::string(what);
}

bool GripOnScreen(int x, int y, int width, const ScreenRect& screen) {
    const int left = std::max(x, screen.X);
    const int right = std::min(x + width, screen.X + screen.Width);
    return right - left >= std::min(kGripWidth, width) && y >= screen.Y &&
           y + kGripHeight <= screen.Y + screen.Height;
}

void CutToScreen(ScreenRect& window, const ScreenRect& screen, int minWidth, int minHeight) {
    window.Width = std::max(minWidth, std::min(window.Width, screen.Width));
    window.Height = std::max(minHeight, std::min(window.Height, screen.Height));
}

}  // namespace

std::optional<ScreenRect> ParseGeometry(std::string_view text) {
    const std::vector<std::string_view> fields = Fields(text, 4);
    if (fields.size() != 4) return std::nullopt;
    int numbers[4];
    for (std::size_t i = 0; i < 4; ++i) {
        const std::optional<int> number = WholeNumber(fields[i]);
        if (!number || std::abs(*number) > kMaxWindowPixels) return std::nullopt;
        numbers[i] = *number;
    }
    if (numbers[2] < 1 || numbers[3] < 1) return std::nullopt;
    return ScreenRect{numbers[0], numbers[1], numbers[2], numbers[3]};
}

std::string GeometryText(const ScreenRect& rect) {
    return Joined({rect.X, rect.Y, rect.Width, rect.Height});
}

std::optional<std::vector<int>> ParseColumnWidths(std::string_view text, std::size_t columns) {
    const std::vector<std::string_view> fields = Fields(text, columns);
    if (fields.size() != columns) return std::nullopt;
    std::vector<int> widths;
    for (const std::string_view field : fields) {
        const std::optional<int> width = WholeNumber(field);
        if (!width || *width < 1 || *width > kMaxColumnWidth) return std::nullopt;
        widths.push_back(std::max(*width, kLeastColumnWidth));
    }
    return widths;
}

std::optional<TableSort> ParseTableSort(std::string_view text, int columns) {
    const std::vector<std::string_view> fields = Fields(text, 2);
    if (fields.size() != 2) return std::nullopt;
    const std::optional<int> column = WholeNumber(fields[0]);
    const std::string_view order = Trimmed(fields[1]);
    if (!column || *column < 0 || *column >= columns) return std::nullopt;
    if (order != "ascending" && order != "descending") return std::nullopt;
    return TableSort{*column, order == "descending"};
}

WindowSettings ReadWindowSettings(std::string_view settingsText, const std::string& settingsPath,
                                  std::vector<std::string>& problems) {
    WindowSettings settings;
    const auto value = [settingsText](std::string_view key) {
        return platform::IniString(settingsText, kSection, key, "");
    };
    if (const std::string geometry = value("geometry"); !geometry.empty()) {
        settings.Geometry = ParseGeometry(geometry);
        if (!settings.Geometry) {
            problems.push_back(Problem(settingsPath, "geometry", geometry,
                                       "no X,Y,WIDTH,HEIGHT in pixels; the window opens at its "
                                       "default place and size."));
        }
    }
    const std::string maximized = value("maximized");
    settings.Maximized = maximized == "1";
    if (!maximized.empty() && maximized != "0" && maximized != "1") {
        problems.push_back(Problem(settingsPath, "maximized", maximized,
                                   "neither 0 nor 1; the window opens not maximised."));
    }
    if (const std::string columns = value("aircraftcolumns"); !columns.empty()) {
        auto widths = ParseColumnWidths(columns, kAircraftTableColumns);
        if (!widths) {
            widths = ParseColumnWidths(columns, kOlderAircraftTableColumns);
            if (widths) widths->push_back(widths->back());  // the new column as wide as the last
        }
        if (widths) {
            settings.AircraftColumns = std::move(*widths);
        } else {
            problems.push_back(
                Problem(settingsPath, "aircraftcolumns", columns,
                        "no list of " + std::to_string(kAircraftTableColumns) +
                            " column widths of 1 to " + std::to_string(kMaxColumnWidth) +
                            " pixels; the Aircraft table fits its columns to its width."));
        }
    }
    if (const std::string sort = value("aircraftsort"); !sort.empty()) {
        settings.AircraftSort = ParseTableSort(sort, static_cast<int>(kAircraftTableColumns));
        if (!settings.AircraftSort) {
            problems.push_back(Problem(settingsPath, "aircraftsort", sort,
                                       "no COLUMN,ascending or COLUMN,descending with a column of "
                                       "0 to " +
                                           std::to_string(kAircraftTableColumns - 1) +
                                           "; the Aircraft table keeps its own order."));
        }
    }
    return settings;
}

void WriteWindowSettings(const std::string& settingsPath, const WindowSettings& settings) {
    if (!settings.Geometry) return;
    using platform::IniWriteString;
    IniWriteString(settingsPath, kSection, "geometry", GeometryText(*settings.Geometry));
    IniWriteString(settingsPath, kSection, "maximized", settings.Maximized ? "1" : "0");
    IniWriteString(settingsPath, kSection, "aircraftcolumns", Joined(settings.AircraftColumns));
    const std::optional<TableSort>& sort = settings.AircraftSort;
    IniWriteString(
        settingsPath, kSection, "aircraftsort",
        sort ? std::to_string(sort->Column) + (sort->Descending ? ",descending" : ",ascending")
             : "");
}

ScreenRect PlaceWindow(const std::optional<ScreenRect>& saved, int minWidth, int minHeight,
                       std::span<const ScreenRect> screens) {
    ScreenRect window{0, 0, minWidth, minHeight};
    if (saved) {
        window.Width = std::max(saved->Width, minWidth);
        window.Height = std::max(saved->Height, minHeight);
        for (const ScreenRect& screen : screens) {
            if (!GripOnScreen(saved->X, saved->Y, window.Width, screen)) continue;
            window.X = saved->X;
            window.Y = saved->Y;
            CutToScreen(window, screen, minWidth, minHeight);
            return window;
        }
    }
    if (screens.empty()) return window;
    const ScreenRect& primary = screens.front();
    CutToScreen(window, primary, minWidth, minHeight);
    window.X = primary.X + std::max(0, (primary.Width - window.Width) / 2);
    window.Y = primary.Y + std::max(0, (primary.Height - window.Height) / 2);
    return window;
}

}  // namespace quorvex
