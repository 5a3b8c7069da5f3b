// Receiver profiles, the settings file and the questions on closing the window.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "core/settings/profiles.h"
#include "fake_clock.h"
#include "platform/ini_file.h"

namespace quorvex {
namespace {

using platform::EIniWriteError;
using test::ReadFileBytes;

const std::vector<std::string> kPorts = {"COM1", "COM3", "COM4"};
constexpr int kCom1 = 0, kCom3 = 1, kCom4 = 2, kBlankPort = 3;
constexpr int kUdp = 5;

class ProfilesTest : public ::testing::Test {
  protected:
    std::string PathOf(const std::string& name) const { return (folder_.path() / name).string(); }
    std::string Put(const std::string& name, const std::string& bytes) const {
        std::ofstream(PathOf(name), std::ios::binary) << bytes;
        return PathOf(name);
    }
    std::string Settings() const { return folder_.Folder() + "quorvex.ini"; }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder_.path())) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempFolder folder_;
};

void Configure(ReceiverProfile& r, int port, int baud, int format) {
    r.Port.SelectIndex(port);
    r.BaudRate.SelectIndex(baud);
    r.Format.SelectIndex(format);
}

TEST_F(ProfilesTest, ExampleProfileIsStoredByteForByte) {
    ProfileSettings s = MakeProfileSettings(kPorts);
    Configure(s.Receiver1, kCom3, 3, 1);
    ASSERT_EQ(s.Receiver1.BaudRate.Text, "1000000");
    ASSERT_EQ(s.Receiver1.Format.Text, "*<mode-s>; no CRC");

    const std::string path = PathOf("Roof antenna.prf");
    SaveProfile1(s, path);
    EXPECT_EQ(ReadFileBytes(path), "[intf]\nport=COM3\nbaudrate=3\nstring=1\n");
    EXPECT_EQ(s.Receiver1.Label, "Roof antenna");
    EXPECT_EQ(s.Receiver1.ProfilePath, "") << "only loading sets the path";
    EXPECT_EQ(s.Receiver2.Label, "No profile");

    // Saving over an existing profile rewrites the values in place.
    Configure(s.Receiver1, kCom4, 0, 2);
    SaveProfile1(s, path);
    EXPECT_EQ(ReadFileBytes(path), "[intf]\nport=COM4\nbaudrate=0\nstring=2\n");
}

TEST_F(ProfilesTest, ExampleSettingsFileIsStoredByteForByte) {
    const std::string profile = Put("receiver2.prf", "[intf]\nport=COM4\nbaudrate=5\nstring=2\n");
    ProfileSettings s = MakeProfileSettings(kPorts);
    LoadProfile2(s, profile);
    s.Timer.SelectIndex(2);
    ASSERT_EQ(s.Timer.Text, "15 secs");
    SaveSettings(s, Settings());
    EXPECT_EQ(ReadFileBytes(Settings()),
              "[profiles]\nprofile1=\nprofile2=" + profile + "\n[timer]\ninterval=2\n");
}

TEST_F(ProfilesTest, StationSectionIsWrittenOnceALocationIsSetAndReadBack) {
    ProfileSettings s = MakeProfileSettings(kPorts);
    s.MaxRangeNm = 250;  // no location: neither is written
    SaveSettings(s, Settings());
    const std::string without = "[profiles]\nprofile1=\nprofile2=\n[timer]\ninterval=-1\n";
    EXPECT_EQ(ReadFileBytes(Settings()), without);

    s.Station = LatLon{52.2572021484375, -3.91937255859375};
    SaveSettings(s, Settings());
    EXPECT_EQ(ReadFileBytes(Settings()),
              without + "[Station]\nlocation=52.2572021484375,-3.91937255859375\nmaxrange=250\n");
    ProfileSettings again = MakeProfileSettings(kPorts);
    EXPECT_EQ(LoadSettings(again, Settings()), std::vector<std::string>{});
    EXPECT_EQ(again.Station, s.Station);
    EXPECT_EQ(again.MaxRangeNm, 250);

    const struct {
        std::string section;
        std::optional<LatLon> station;
        double maxRange;
        std::string problem;  // after the path
    } cases[] = {
        {"[station]\nlocation=51.5,-0.1\n", LatLon{51.5, -0.1}, 300, ""},
        {"[Station]\nlocation=north\nmaxrange=250\n", std::nullopt, 300,
         ": [Station] location=north is no LAT,LON in degrees; no station is used."},
        {"[Station]\nlocation=51.5,-0.1\nmaxrange=0.5\n", LatLon{51.5, -0.1}, 300,
         ": [Station] maxrange=0.5 is no range of 1 to 1000 NM; 300 is used."},
    };
    for (const auto& c : cases) {
        Put("quorvex.ini", c.section);
        ProfileSettings read = MakeProfileSettings(kPorts);
        const auto problems = LoadSettings(read, Settings());
        EXPECT_EQ(problems, c.problem.empty() ? std::vector<std::string>{}
                                              : std::vector<std::string>{Settings() + c.problem});
        EXPECT_EQ(read.Station, c.station) << c.section;
        EXPECT_EQ(read.MaxRangeNm, c.maxRange) << c.section;
    }
}

TEST_F(ProfilesTest, ProfileMovesBetweenReceivers) {
    struct Case {
        const char* name;
        int fromReceiver;
        int port, baud, format;  // the saving receiver's selections
        int toReceiver;
        int portBefore;             // the loading receiver's port selection beforehand
        int port2, baud2, format2;  // its selections afterwards
        const char* baudText;
        const char* formatText;
    };
    const Case cases[] = {
        {"receiver 1 to itself", 1, kCom3, 3, 1, 1, -1, kCom3, 3, 1, "1000000",
         "*<mode-s>; no CRC"},
        {"receiver 1 to receiver 2", 1, kCom4, 4, 0, 2, kCom1, kCom4, 4, 0, "3000000",
         "@<counter><mode-s>;"},
        {"UDP receiver 2 to receiver 1", 2, kCom4, kUdp, 2, 1, kCom3, kCom4, -1, 2, "",
         ":<mode-s>; CRC done"},
        {"UDP receiver 2 to itself", 2, kCom3, kUdp, 1, 2, -1, kCom3, kUdp, 1, "UDP Port 7934",
         "*<mode-s>; no CRC"},
        {"nothing selected", 1, -1, -1, -1, 2, kCom3, kCom3, -1, -1, "", ""},
        {"blank port item", 2, kBlankPort, 0, 0, 1, kCom1, kCom1, 0, 0, "115200",
         "@<48-bit counter><mode-s>;"},
    };
    for (const Case& c : cases) {
        ProfileSettings from = MakeProfileSettings(kPorts);
        ReceiverProfile& saver = c.fromReceiver == 1 ? from.Receiver1 : from.Receiver2;
        Configure(saver, c.port, c.baud, c.format);
        const std::string path = PathOf("moved.prf");
        SaveProfile(saver, path);

        ProfileSettings to = MakeProfileSettings(kPorts);
        ReceiverProfile& loader = c.toReceiver == 1 ? to.Receiver1 : to.Receiver2;
        loader.Port.SelectIndex(c.portBefore);
        LoadProfile(loader, path);
        EXPECT_EQ(loader.Port.ItemIndex, c.port2) << c.name;
        EXPECT_EQ(loader.BaudRate.ItemIndex, c.baud2) << c.name;
        EXPECT_EQ(loader.BaudRate.Text, c.baudText) << c.name;
        EXPECT_EQ(loader.Format.ItemIndex, c.format2) << c.name;
        EXPECT_EQ(loader.Format.Text, c.formatText) << c.name;
        EXPECT_EQ(loader.ProfilePath, path) << c.name;
        EXPECT_EQ(loader.Label, "moved") << c.name;
        EXPECT_FALSE(loader.Changed) << c.name;
    }
}

TEST_F(ProfilesTest, PortIsSelectedOnlyByAnEqualItem) {
    const struct {
        const char* name;
        std::vector<std::string> ports;
        const char* file;
        int before;
        int after;
    } cases[] = {
        {"present", kPorts, "[intf]\nport=COM4\n", kCom1, kCom4},
        {"not present now", kPorts, "[intf]\nport=COM9\n", kCom3, kCom3},
        {"not present, nothing selected", kPorts, "[intf]\nport=COM9\n", -1, -1},
        {"case differs", kPorts, "[intf]\nport=com3\n", kCom1, kCom1},
        {"last equal item wins", {"COM3", "COM1", "COM3"}, "[intf]\nport=COM3\n", 1, 2},
        {"key missing: COM1", kPorts, "[intf]\nbaudrate=1\n", kCom4, kCom1},
        {"key missing, no COM1", {"COM2", "COM3"}, "[intf]\n", 1, 1},
        {"full device path", {"/dev/ttyUSB0", "/dev/ttyS0"}, "[intf]\nport=/dev/ttyS0\n", -1, 1},
    };
    for (const auto& c : cases) {
        ProfileSettings s = MakeProfileSettings(c.ports);
        s.Receiver1.Port.SelectIndex(c.before);
        const std::string before = s.Receiver1.Port.Text;
        LoadProfile1(s, Put("p.prf", c.file));
        EXPECT_EQ(s.Receiver1.Port.ItemIndex, c.after) << c.name;
        if (c.after == c.before) {
            EXPECT_EQ(s.Receiver1.Port.Text, before) << c.name;
        }
    }
}

TEST_F(ProfilesTest, MissingOrDamagedProfileReadsAsDefaults) {
    const struct {
        const char* name;
        std::optional<std::string> content;  // none: the file doesn't exist
    } cases[] = {
        {"missing file", std::nullopt},
        {"empty file", std::string()},
        {"other section", std::string("[receiver]\nport=COM4\nbaudrate=2\nstring=2\n")},
        {"not numbers", std::string("[intf]\nbaudrate=fast\nstring=star\n")},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(PathOf("Kitchen.prf"));
        if (c.content) Put("Kitchen.prf", *c.content);
        ProfileSettings s = MakeProfileSettings(kPorts);
        Configure(s.Receiver2, kCom4, kUdp, 2);
        s.Receiver2.Changed = true;
        LoadProfile2(s, PathOf("Kitchen.prf"));
        EXPECT_EQ(s.Receiver2.Port.Text, "COM1") << c.name;
        EXPECT_EQ(s.Receiver2.BaudRate.Text, "115200") << c.name;
        EXPECT_EQ(s.Receiver2.Format.Text, "@<counter><mode-s>;") << c.name;
        EXPECT_EQ(s.Receiver2.Label, "Kitchen") << c.name;
        EXPECT_EQ(s.Receiver2.ProfilePath, PathOf("Kitchen.prf")) << c.name;
        EXPECT_TRUE(s.Receiver2.Changed) << c.name << ": loading leaves the flag alone";
        EXPECT_EQ(s.Receiver1.Label, "No profile") << c.name;
    }
    EXPECT_EQ(Entries(), std::vector<std::string>{"Kitchen.prf"});
}

TEST_F(ProfilesTest, IndexOutsideTheListLeavesNoSelection) {
    ProfileSettings s = MakeProfileSettings(kPorts);
    LoadProfile2(s, Put("odd.prf", "[intf]\nport=COM3\nbaudrate=8\nstring=4\n"));
    EXPECT_EQ(s.Receiver2.BaudRate.ItemIndex, -1);
    EXPECT_EQ(s.Receiver2.BaudRate.Text, "");
    EXPECT_EQ(s.Receiver2.Format.ItemIndex, -1);
    EXPECT_EQ(s.Receiver2.Format.Text, "") << "the editable format list loses its text too";

    LoadProfile1(s, Put("negative.prf", "[intf]\nbaudrate=-1\nstring=$1\n"));
    EXPECT_EQ(s.Receiver1.BaudRate.ItemIndex, -1);
    EXPECT_EQ(s.Receiver1.Format.ItemIndex, 1);
}

TEST(ProfileNameTest, FileNameWithoutFolderAndExtension) {
    const struct {
        const char* path;
        const char* name;
    } cases[] = {
        {"/opt/quorvex/profiles/Roof.prf", "Roof"},
        {"C:\\Quorvex\\profiles\\Roof antenna.prf", "Roof antenna"},
        {"/home/op/my.receiver.prf", "my.receiver"},
        {"/home/op.d/plain", "plain"},
        {"relative.prf", "relative"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ProfileName(c.path), c.name) << c.path;
}

TEST_F(ProfilesTest, NoSettingsFileStartsOnFiveSecondsWithoutProfiles) {
    ProfileSettings s = MakeProfileSettings(kPorts);
    LoadSettings(s, Settings());
    EXPECT_EQ(s.Timer.ItemIndex, 1);
    EXPECT_EQ(s.Timer.Text, "5 secs");
    for (const ReceiverProfile* r : {&s.Receiver1, &s.Receiver2}) {
        EXPECT_EQ(r->Label, "No profile");
        EXPECT_EQ(r->ProfilePath, "");
        EXPECT_FALSE(r->Changed);
        EXPECT_EQ(r->Port.ItemIndex, -1);
    }
    EXPECT_EQ(s.Receiver1.BaudRate.Text, "1000000");
    EXPECT_EQ(s.Receiver2.BaudRate.Text, "UDP Port 7934");
    EXPECT_TRUE(Entries().empty()) << "reading the settings creates nothing";
}

TEST_F(ProfilesTest, SettingsApplyTheirProfilesAndInterval) {
    const std::string r1 = Put("r1.prf", "[intf]\r\nport=COM4\r\nbaudrate=1\r\nstring=2\r\n");
    const struct {
        const char* name;
        std::string settings;
        int timer;
        const char* label1;
        const char* port1;
        const char* label2;
        const char* port2;
    } cases[] = {
        {"receiver 1 only", "[profiles]\nprofile1=" + r1 + "\nprofile2=\n[timer]\ninterval=4\n", 4,
         "r1", "COM4", "No profile", ""},
        {"both, profile 2 gone",
         "[Profiles]\r\nProfile1 = " + r1 + "\r\nprofile2=" + PathOf("gone.prf") +
             "\r\n[TIMER]\r\ninterval=0\r\n",
         0, "r1", "COM4", "gone", "COM1"},
        {"Windows path that isn't here", "[profiles]\nprofile1=C:\\Quorvex\\profiles\\Hut.prf\n", 1,
         "Hut", "COM1", "No profile", ""},
        {"interval outside the list", "[timer]\ninterval=5\n", -1, "No profile", "", "No profile",
         ""},
        {"interval of nothing selected", "[timer]\ninterval=-1\n", -1, "No profile", "",
         "No profile", ""},
        {"interval not a number", "[timer]\ninterval=15 secs\n", 1, "No profile", "", "No profile",
         ""},
    };
    for (const auto& c : cases) {
        Put("quorvex.ini", c.settings);
        ProfileSettings s = MakeProfileSettings(kPorts);
        LoadSettings(s, Settings());
        EXPECT_EQ(s.Timer.ItemIndex, c.timer) << c.name;
        EXPECT_EQ(s.Receiver1.Label, c.label1) << c.name;
        EXPECT_EQ(s.Receiver1.Port.Text, c.port1) << c.name;
        EXPECT_EQ(s.Receiver2.Label, c.label2) << c.name;
        EXPECT_EQ(s.Receiver2.Port.Text, c.port2) << c.name;
        EXPECT_FALSE(s.Receiver1.Changed || s.Receiver2.Changed) << c.name;
    }
    EXPECT_EQ(ReadFileBytes(r1), "[intf]\r\nport=COM4\r\nbaudrate=1\r\nstring=2\r\n");
}

TEST_F(ProfilesTest, SettingsRoundTrip) {
    const std::string p1 = Put("one.prf", "[intf]\nport=COM3\nbaudrate=2\nstring=0\n");
    const std::string p2 = Put("two.prf", "[intf]\nport=COM4\nbaudrate=5\nstring=1\n");
    for (const int timer : {-1, 0, 1, 2, 3, 4}) {
        ProfileSettings s = MakeProfileSettings(kPorts);
        LoadProfile1(s, p1);
        LoadProfile2(s, p2);
        s.Timer.SelectIndex(timer);
        SaveSettings(s, Settings());

        ProfileSettings again = MakeProfileSettings(kPorts);
        LoadSettings(again, Settings());
        EXPECT_EQ(again.Timer.ItemIndex, timer);
        EXPECT_EQ(again.Receiver1.ProfilePath, p1);
        EXPECT_EQ(again.Receiver2.ProfilePath, p2);
        EXPECT_EQ(again.Receiver1.BaudRate.Text, "921600");
        EXPECT_EQ(again.Receiver2.BaudRate.Text, "UDP Port 7934");
        EXPECT_EQ(again.Receiver2.Port.Text, "COM4");
    }
}

// Records the dialogs that closing the window shows, and answers them from a script.
struct ScriptedDialogs {
    std::vector<std::string> shown;
    bool answer = true;
    std::optional<std::string> savePath;

    CloseQueryDialogs Dialogs() {
        return {[this](const std::string& caption, const std::string& text) {
                    shown.push_back(caption + " | " + text);
                    return answer;
                },
                [this](int receiver) {
                    shown.push_back("save dialog " + std::to_string(receiver));
                    return savePath;
                },
                {}};
    }
};

TEST_F(ProfilesTest, CloseAsksNothingWithoutChanges) {
    const std::string p = Put("loaded.prf", "[intf]\nport=COM3\nbaudrate=1\nstring=1\n");
    ProfileSettings s = MakeProfileSettings(kPorts);
    LoadProfile1(s, p);
    LoadProfile2(s, p);
    s.Timer.SelectIndex(1);
    ScriptedDialogs script;
    FormCloseQuery(s, Settings(), script.Dialogs());
    EXPECT_TRUE(script.shown.empty());
    EXPECT_EQ(ReadFileBytes(Settings()),
              "[profiles]\nprofile1=" + p + "\nprofile2=" + p + "\n[timer]\ninterval=1\n");
    EXPECT_EQ(ReadFileBytes(p), "[intf]\nport=COM3\nbaudrate=1\nstring=1\n");
}

TEST_F(ProfilesTest, CloseAsksForEachChangedReceiverInTurn) {
    const std::string p1 = Put("North.prf", "[intf]\nport=COM3\nbaudrate=1\nstring=1\n");
    const std::string p2 = Put("South.prf", "[intf]\nport=COM4\nbaudrate=5\nstring=2\n");
    for (const bool yes : {true, false}) {
        Put("North.prf", "[intf]\nport=COM3\nbaudrate=1\nstring=1\n");
        Put("South.prf", "[intf]\nport=COM4\nbaudrate=5\nstring=2\n");
        ProfileSettings s = MakeProfileSettings(kPorts);
        LoadProfile1(s, p1);
        LoadProfile2(s, p2);
        s.Receiver1.Format.SelectIndex(2);
        ReceiverControlChanged(s.Receiver1);
        s.Receiver2.BaudRate.SelectIndex(0);
        ReceiverControlChanged(s.Receiver2);

        ScriptedDialogs script;
        script.answer = yes;
        FormCloseQuery(s, Settings(), script.Dialogs());
        EXPECT_EQ(script.shown,
                  (std::vector<std::string>{"North | Profile1 changed. Do you want to update?",
                                            "South | Profile2 changed. Do you want to update?"}));
        EXPECT_EQ(ReadFileBytes(p1), yes ? "[intf]\nport=COM3\nbaudrate=1\nstring=2\n"
                                         : "[intf]\nport=COM3\nbaudrate=1\nstring=1\n");
        EXPECT_EQ(ReadFileBytes(p2), yes ? "[intf]\nport=COM4\nbaudrate=0\nstring=2\n"
                                         : "[intf]\nport=COM4\nbaudrate=5\nstring=2\n");
        EXPECT_EQ(ReadFileBytes(Settings()),
                  "[profiles]\nprofile1=" + p1 + "\nprofile2=" + p2 + "\n[timer]\ninterval=-1\n");
        // Only the Save buttons clear the flags.
        EXPECT_TRUE(s.Receiver1.Changed && s.Receiver2.Changed);
    }
}

TEST_F(ProfilesTest, SaveButtonClearsTheChangeAndSettingsKeepTheLoadedProfile) {
    const std::string loaded = Put("Loaded.prf", "[intf]\nport=COM3\nbaudrate=3\nstring=1\n");
    ProfileSettings s = MakeProfileSettings(kPorts);
    LoadProfile1(s, loaded);
    s.Receiver1.Format.SelectIndex(2);
    ReceiverControlChanged(s.Receiver1);
    ASSERT_TRUE(s.Receiver1.Changed);

    const std::string saved = PathOf("Saved.prf");
    SaveButtonConfirmed(s.Receiver1, saved);
    EXPECT_FALSE(s.Receiver1.Changed);
    EXPECT_EQ(s.Receiver1.Label, "Saved");
    EXPECT_EQ(s.Receiver1.ProfilePath, loaded);
    EXPECT_EQ(ReadFileBytes(saved), "[intf]\nport=COM3\nbaudrate=3\nstring=2\n");

    ScriptedDialogs script;
    FormCloseQuery(s, Settings(), script.Dialogs());
    EXPECT_TRUE(script.shown.empty());
    EXPECT_EQ(ReadFileBytes(Settings()),
              "[profiles]\nprofile1=" + loaded + "\nprofile2=\n[timer]\ninterval=-1\n");
    EXPECT_EQ(ReadFileBytes(loaded), "[intf]\nport=COM3\nbaudrate=3\nstring=1\n");
}

TEST_F(ProfilesTest, YesWithoutALoadedProfileOpensTheSaveDialog) {
    // Cancelled: no profile is written, the settings are.
    {
        ProfileSettings s = MakeProfileSettings(kPorts);
        Configure(s.Receiver2, kCom3, 2, 1);
        ReceiverControlChanged(s.Receiver2);
        ScriptedDialogs script;
        FormCloseQuery(s, Settings(), script.Dialogs());
        EXPECT_EQ(script.shown, (std::vector<std::string>{
                                    "No active profile2 | Profile2 changed. Do you want to update?",
                                    "save dialog 2"}));
        EXPECT_EQ(Entries(), std::vector<std::string>{"quorvex.ini"});
        EXPECT_EQ(s.Receiver2.Label, "No profile");
        EXPECT_TRUE(s.Receiver2.Changed);
    }
    // Confirmed: written where chosen; the settings still name no profile.
    {
        ProfileSettings s = MakeProfileSettings(kPorts);
        Configure(s.Receiver1, kCom4, 4, 0);
        ReceiverControlChanged(s.Receiver1);
        ReceiverControlChanged(s.Receiver2);
        ScriptedDialogs script;
        script.savePath = PathOf("Chosen.prf");
        FormCloseQuery(s, Settings(), script.Dialogs());
        EXPECT_EQ(
            script.shown,
            (std::vector<std::string>{
                "No active profile1 | Profile1 changed. Do you want to update?", "save dialog 1",
                "No active profile2 | Profile2 changed. Do you want to update?", "save dialog 2"}));
        EXPECT_EQ(s.Receiver2.Label, "Chosen");
        EXPECT_FALSE(s.Receiver1.Changed);
        EXPECT_EQ(ReadFileBytes(Settings()),
                  "[profiles]\nprofile1=\nprofile2=\n[timer]\ninterval=-1\n");
        // Receiver 2 saved last, over receiver 1's file.
        EXPECT_EQ(ReadFileBytes(PathOf("Chosen.prf")), "[intf]\nport=\nbaudrate=5\nstring=-1\n");
    }
}

TEST_F(ProfilesTest, AFailedSaveKeepsTheChangeAndRaises) {
    const std::string unwritable = PathOf("no-such-folder/Lost.prf");
    ProfileSettings s = MakeProfileSettings(kPorts);
    Configure(s.Receiver1, kCom3, 3, 1);
    ReceiverControlChanged(s.Receiver1);
    try {
        SaveButtonConfirmed(s.Receiver1, unwritable);
        ADD_FAILURE() << "no error";
    } catch (const EIniWriteError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Unable to write to " + unwritable + ": No such file or directory");
    }
    EXPECT_TRUE(s.Receiver1.Changed);
    EXPECT_EQ(s.Receiver1.Label, "No profile");
    EXPECT_TRUE(Entries().empty());
}

TEST_F(ProfilesTest, AFailedWriteIsReturnedAndTheCloseGoesOn) {
    // The profile loaded at start has since become unwritable: Yes fails, receiver 2 is still
    // asked and the settings are still written.
    const std::string lost = PathOf("no-such-folder/Lost.prf");
    ProfileSettings s = MakeProfileSettings(kPorts);
    LoadProfile1(s, lost);
    ReceiverControlChanged(s.Receiver1);
    ReceiverControlChanged(s.Receiver2);
    ScriptedDialogs script;  // Yes to both; no file chosen for receiver 2
    EXPECT_EQ(
        FormCloseQuery(s, Settings(), script.Dialogs()),
        std::vector<std::string>{"Unable to write to " + lost + ": No such file or directory"});
    EXPECT_EQ(script.shown,
              (std::vector<std::string>{"Lost | Profile1 changed. Do you want to update?",
                                        "No active profile2 | Profile2 changed. Do you want to "
                                        "update?",
                                        "save dialog 2"}));
    EXPECT_EQ(platform::IniReadString(Settings(), "profiles", "profile1", ""), lost);

    // The settings file itself cannot be written; a signal's end asks nothing and names the
    // changed profiles that stay as they were.
    Put("plain", "x");
    EXPECT_EQ(FormCloseQuery(s, PathOf("plain/quorvex.ini"), script.Dialogs()),
              (std::vector<std::string>{
                  "Unable to write to " + lost + ": No such file or directory",
                  "Unable to write to " + PathOf("plain/quorvex.ini") + ": Not a directory"}));
    EXPECT_EQ(ProfilesLeftUnsaved(s),
              (std::vector<std::string>{
                  "Profile1 changed and was not updated, since a signal ended the program: " +
                      lost + " keeps its settings",
                  "Profile2 changed and was not saved, since a signal ended the program (no "
                  "active profile2)"}));
}

}  // namespace
}  // namespace quorvex
