#pragma once
// Receiver profiles (how a receiver is attached) and the settings file (which profiles were
// in use, the averaging interval, the station once a location was set, and the window).
//
// User-interface thread only. The window mirrors its controls into these models, calls the
// functions here and applies the models back. Writes raise platform::EIniWriteError.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/positions/geo.h"
#include "core/positions/position_decoder.h"
#include "core/settings/combo_model.h"
#include "core/settings/window_settings.h"

namespace quorvex {

inline constexpr std::string_view kNoProfile = "No profile";

// One receiver column: the three controls a profile mirrors, and its profile bookkeeping.
struct ReceiverProfile {
    ComboModel Port;                              // cbport1 / cbport2
    ComboModel BaudRate;                          // cbbaudrate1 / cbbaudrate2
    ComboModel Format;                            // cbstring1 / cbstring2
    std::string ProfilePath;                      // the profile last loaded; only Load sets it
    bool Changed = false;                         // the user changed a control since the last Save
    std::string Label = std::string(kNoProfile);  // lbprofile1 / lbprofile2
};

struct ProfileSettings {
    ReceiverProfile Receiver1;
    ReceiverProfile Receiver2;
    ComboModel Timer;  // cbtimer, the "Filter" list
    // The station's location and the farthest range taken as heard. The settings file has a
    // [Station] section only once a location was set.
    std::optional<LatLon> Station;
    double MaxRangeNm = kDefaultMaxRangeNm;
    // The window's place and size and the Aircraft table's columns, in a [Window] section.
    WindowSettings Window;
};

// The maximum ranges a settings file may name.
inline constexpr double kMinMaxRangeNm = 1.0;
inline constexpr double kMaxMaxRangeNm = 1000.0;

// The UDP port receiver 2's datagrams arrive on.
inline constexpr int kUdpReceiverPort = 7934;

// The controls as the window starts: `ports` are the present serial devices; the port
// lists end with the blank item " " (no serial port for this receiver). After the baud
// rates, receiver 2's rate list has the UDP item, "UDP Port " and the port the listener
// binds; both lists end with the network kinds "TCP raw" and "TCP Beast".
ProfileSettings MakeProfileSettings(const std::vector<std::string>& ports,
                                    int udpPort = kUdpReceiverPort);

// The file name of `path` without folder and extension. Both "/" and "\" separate folders,
// since a settings file may come from a Windows installation.
std::string ProfileName(std::string_view path);

// Applies a profile file, read once, to a receiver's controls; not a user change (Changed
// untouched). A file that cannot be read applies as a missing one does (the defaults), and
// the message that says so is returned: "Cannot read <path>: <reason>. The defaults are used
// instead." Whatever a save of it killed midway left beside it is removed first.
std::optional<std::string> LoadProfile(ReceiverProfile& receiver, const std::string& path);
// Writes a receiver's controls into a profile file and shows its name in the label.
void SaveProfile(ReceiverProfile& receiver, const std::string& path);
inline std::optional<std::string> LoadProfile1(ProfileSettings& s, const std::string& path) {
    return LoadProfile(s.Receiver1, path);
}
inline std::optional<std::string> LoadProfile2(ProfileSettings& s, const std::string& path) {
    return LoadProfile(s.Receiver2, path);
}
inline void SaveProfile1(ProfileSettings& s, const std::string& path) {
    SaveProfile(s.Receiver1, path);
}
inline void SaveProfile2(ProfileSettings& s, const std::string& path) {
    SaveProfile(s.Receiver2, path);
}

// The Save button after its dialog was confirmed: saves and clears the changed flag (which
// stays set when the write fails).
void SaveButtonConfirmed(ReceiverProfile& receiver, const std::string& path);

// A change event of one of the receiver's port, baud-rate or format lists.
inline void ReceiverControlChanged(ReceiverProfile& receiver) {
    receiver.Changed = true;
}

// Reads the settings file once and loads the profiles it names, as LoadProfile does; returns
// the messages of the files that could not be read.
std::vector<std::string> LoadSettings(ProfileSettings& settings, const std::string& settingsPath);
void SaveSettings(const ProfileSettings& settings, const std::string& settingsPath);

// What closing the window needs from it: a Yes/No question (true for Yes), and the Save
// dialog of a receiver (1 or 2), giving the chosen path or nothing when cancelled. Ended,
// when set, says that the program is being ended otherwise meanwhile (a signal came while a
// question was open): nothing more is asked or written then.
struct CloseQueryDialogs {
    std::function<bool(const std::string& caption, const std::string& text)> AskYesNo;
    std::function<std::optional<std::string>(int receiver)> SaveDialog;
    std::function<bool()> Ended;
};

// The close request: offers to update each changed profile, then writes the settings, even
// when a profile could not be written. Returns the messages of the writes that failed; the
// window closes all the same.
std::vector<std::string> FormCloseQuery(ProfileSettings& settings, const std::string& settingsPath,
                                        const CloseQueryDialogs& dialogs);

// The end a signal asks for, where nobody is asked: one line for each changed profile, which
// stays as it was ("Profile1 changed and was not updated, since a signal ended the program:
// <path> keeps its settings", or "... not saved, ... (no active profile1)").
std::vector<std::string> ProfilesLeftUnsaved(const ProfileSettings& settings);

}  // namespace quorvex
