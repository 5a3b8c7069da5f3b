// The window's section of the settings file, and where a restored window opens.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/settings/window_settings.h"
#include "support/temp_folder.h"

namespace quorvex {
namespace {

using test::ReadFileBytes;

TEST(WindowSettingsTest, SectionIsWrittenApartAndReadBack) {
    test::TempFolder folder;
    const std::string path = folder.Folder() + "quorvex.ini";
    const std::string others =
        "[profiles]\r\nprofile1=a.prf\r\n; kept\r\n[timer]\r\ninterval=2\r\n";
    std::ofstream(path, std::ios::binary) << others;

    WindowSettings none;  // no geometry: a run without the window writes nothing
    WriteWindowSettings(path, none);
    EXPECT_EQ(ReadFileBytes(path), others);

    WindowSettings saved{ScreenRect{-1200, 40, 900, 700}, true,
                         std::vector<int>{80, 60, 60, 70, 50, 60, 60, 60, 90, 55},
                         TableSort{7, false}};
    WriteWindowSettings(path, saved);
    EXPECT_EQ(ReadFileBytes(path),
              others +
                  "[Window]\r\ngeometry=-1200,40,900,700\r\nmaximized=1\r\n"
                  "aircraftcolumns=80,60,60,70,50,60,60,60,90,55\r\naircraftsort=7,ascending\r\n");
    std::vector<std::string> problems;
    const WindowSettings read = ReadWindowSettings(ReadFileBytes(path), path, problems);
    EXPECT_EQ(problems, std::vector<std::string>{});
    EXPECT_EQ(read.Geometry, saved.Geometry);
    EXPECT_EQ(read.Maximized, saved.Maximized);
    EXPECT_EQ(read.AircraftColumns, saved.AircraftColumns);
    EXPECT_EQ(read.AircraftSort, saved.AircraftSort);
}

TEST(WindowSettingsTest, ValuesThatCannotBeUsedAreSaidAndLeftAtTheirDefaults) {
    const struct {
        const char* line;
        std::optional<ScreenRect> geometry;
        std::vector<int> columns;
        std::optional<TableSort> sort;
        const char* problem;  // after "F: [Window] "; empty: none
    } cases[] = {
        {"geometry= 10 , -20 ,700,600", ScreenRect{10, -20, 700, 600}, {}, {}, ""},
        {"geometry=10,20,700", {}, {}, {}, "geometry=10,20,700 is no X,Y,WIDTH,HEIGHT"},
        {"geometry=10,20,700,600,5", {}, {}, {}, "geometry=10,20,700,600,5 is no"},
        {"geometry=10,20,0,600", {}, {}, {}, "geometry=10,20,0,600 is no"},
        {"geometry=10,20,700,100001", {}, {}, {}, "geometry=10,20,700,100001 is no"},
        {"geometry=10,20,700,600px", {}, {}, {}, "geometry=10,20,700,600px is no"},
        {"geometry=a,b,c,d", {}, {}, {}, "geometry=a,b,c,d is no"},
        {"maximized=yes", {}, {}, {}, "maximized=yes is neither 0 nor 1"},
        {"aircraftcolumns=5,60,60,70,50,60,60,60,90,4000",
         {},
         {20, 60, 60, 70, 50, 60, 60, 60, 90, 4000},
         {},
         ""},
        // A settings file from before the level difference: its column as wide as the last.
        {"aircraftcolumns=80,60,60,70,50,60,60,60,90",
         {},
         {80, 60, 60, 70, 50, 60, 60, 60, 90, 90},
         {},
         ""},
        {"aircraftcolumns=80,60,60,70,50,60,60,60", {}, {}, {}, "aircraftcolumns=80,60,60,70,50,6"},
        {"aircraftcolumns=80,,60,70,50,60,60,60,90", {}, {}, {}, "aircraftcolumns=80,,60"},
        {"aircraftcolumns=0,60,60,70,50,60,60,60,90", {}, {}, {}, "aircraftcolumns=0,60"},
        {"aircraftcolumns=4001,60,60,70,50,60,60,60,90", {}, {}, {}, "aircraftcolumns=4001"},
        {"aircraftsort=8, descending", {}, {}, TableSort{8, true}, ""},
        {"aircraftsort=10,ascending", {}, {}, {}, "aircraftsort=10,ascending is no COLUMN"},
        {"aircraftsort=-1,ascending", {}, {}, {}, "aircraftsort=-1,ascending is no"},
        {"aircraftsort=1,up", {}, {}, {}, "aircraftsort=1,up is no"},
        {"aircraftsort=1", {}, {}, {}, "aircraftsort=1 is no"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> problems;
        const WindowSettings read =
            ReadWindowSettings(std::string("[window]\n") + c.line + "\n", "F", problems);
        EXPECT_EQ(read.Geometry, c.geometry) << c.line;
        EXPECT_EQ(read.AircraftColumns, c.columns) << c.line;
        EXPECT_EQ(read.AircraftSort, c.sort) << c.line;
        EXPECT_FALSE(read.Maximized) << c.line;
        if (*c.problem == '\0') {
            EXPECT_EQ(problems, std::vector<std::string>{}) << c.line;
        } else {
            ASSERT_EQ(problems.size(), 1u) << c.line;
            EXPECT_EQ(problems[0].rfind(std::string("F: [Window] ") + c.problem, 0), 0u)
                << problems[0];
        }
    }
}

TEST(WindowSettingsTest, ARestoredWindowOpensWhereItCanBeGrabbed) {
    const std::vector<ScreenRect> two = {{0, 0, 1920, 1040}, {1920, 0, 1280, 1024}};
    const std::vector<ScreenRect> one = {two[0]};
    const std::vector<ScreenRect> small = {{0, 0, 600, 500}};
    const std::vector<ScreenRect> none;
    const struct {
        const char* what;
        const std::vector<ScreenRect>& screens;
        std::optional<ScreenRect> saved;
        ScreenRect placed;
    } cases[] = {
        {"nothing saved: the minimum, centred", two, {}, {652, 228, 616, 584}},
        {"as saved", two, ScreenRect{100, 50, 1000, 700}, {100, 50, 1000, 700}},
        {"as saved on the second screen", two, {{2000, 100, 900, 700}}, {2000, 100, 900, 700}},
        {"across both screens", two, {{1900, 100, 900, 700}}, {1900, 100, 900, 700}},
        {"too small: raised to the minimum", two, {{100, 50, 300, 200}}, {100, 50, 616, 584}},
        {"too large: cut to its screen", two, {{0, 0, 3000, 2000}}, {0, 0, 1920, 1040}},
        {"off every screen: centred", two, {{5000, 100, 900, 700}}, {510, 170, 900, 700}},
        {"too little of the top edge on", one, {{1850, 100, 900, 700}}, {510, 170, 900, 700}},
        {"top edge above the screen", one, {{100, -30, 900, 700}}, {510, 170, 900, 700}},
        {"top edge below the screen", one, {{100, 1030, 900, 700}}, {510, 170, 900, 700}},
        {"a screen smaller than the minimum", small, {}, {0, 0, 616, 584}},
        {"no screens", none, {{100, 50, 1000, 700}}, {0, 0, 1000, 700}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PlaceWindow(c.saved, 616, 584, c.screens), c.placed) << c.what;
    }
}

}  // namespace
}  // namespace quorvex
