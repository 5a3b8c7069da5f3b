#include "core/settings/profiles.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "core/positions/station_text.h"
#include "core/settings/receiver_kind.h"
#include "platform/ini_file.h"
#include "platform/ui_thread.h"
#include "platform/whole_file.h"

namespace quorvex {
namespace {

using platform::IniInteger;
using platform::IniString;
using platform::IniWriteInteger;
using platform::IniWriteString;

constexpr std::string_view kProfileSection = "intf";
constexpr std::string_view kSettingsProfiles = "profiles";
constexpr std::string_view kSettingsTimer = "timer";
constexpr std::string_view kSettingsStation = "Station";

const std::vector<std::string> kBaudRates = {"115200", "833333", "921600", "1000000", "3000000"};
constexpr int kDefaultTimerIndex = 1;  // "5 secs"

ComboModel DropDownList(std::vector<std::string> items, int selected) {
    ComboModel combo;
    combo.Items = std::move(items);
    combo.SelectIndex(selected);
    return combo;
}

// A profile stores the rate list's index as receiver 2's list counts it (the baud rates, the
// UDP item, then the network kinds), whichever receiver wrote it: so a profile moves between
// the receivers, and one of receiver 2 on UDP still selects nothing in receiver 1's list.
constexpr int kStoredUdpIndex = 5;
constexpr int kStoredTcpRawIndex = 6;
constexpr int kStoredTcpBeastIndex = 7;

int StoredRateIndex(const ComboModel& rates) {
    if (rates.ItemIndex < 0) return rates.ItemIndex;
    if (const auto kind = NetworkKindOf(rates.Text)) {
        return *kind == NetworkKind::Raw ? kStoredTcpRawIndex : kStoredTcpBeastIndex;
    }
    return rates.ItemIndex;
}

void SelectStoredRate(ComboModel& rates, int stored) {
    const auto select = [&rates](std::string_view item) {
        const auto found = std::find(rates.Items.begin(), rates.Items.end(), item);
        rates.SelectIndex(
            found == rates.Items.end() ? -1 : static_cast<int>(found - rates.Items.begin()));
    };
    if (stored == kStoredTcpRawIndex) {
        select(kTcpRawItem);
    } else if (stored == kStoredTcpBeastIndex) {
        select(kTcpBeastItem);
    } else if (stored == kStoredUdpIndex) {
        const bool udp = rates.Items.size() > kStoredUdpIndex &&
                         rates.Items[kStoredUdpIndex].starts_with("UDP Port");
        rates.SelectIndex(udp ? kStoredUdpIndex : -1);
    } else {
        rates.SelectIndex(stored);
    }
}

std::optional<std::string> ReadProblem(const std::string& path,
                                       const platform::IniFileContent& file) {
    if (file.Reason.empty()) return std::nullopt;
    return "Cannot read " + path + ": " + file.Reason + ". The defaults are used instead.";
}

void AskToUpdate(ReceiverProfile& receiver, int number, const CloseQueryDialogs& dialogs) {
    if (!receiver.Changed) return;
    const std::string digit = std::to_string(number);
    std::string caption = ProfileName(receiver.ProfilePath);
    if (caption.empty()) caption = "No active profile" + digit;
    if (!dialogs.AskYesNo(caption, "Profile" + digit + " changed. Do you want to update?")) {
        return;
    }
    if (!receiver.ProfilePath.empty()) {
        SaveProfile(receiver, receiver.ProfilePath);
    } else if (const auto path = dialogs.SaveDialog(number)) {
        SaveButtonConfirmed(receiver, *path);
    }
}

// The shortest text that reads back as the same number.
std::string NumberText(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return {text, end};
}

// The [Station] section, if any; what cannot be used is said and left out.
void LoadStation(ProfileSettings& settings, const std::string& settingsPath, std::string_view text,
                 std::vector<std::string>& problems) {
    const std::string location = IniString(text, kSettingsStation, "location", "");
    if (location.empty()) return;
    settings.Station = ParseStation(location);
    if (!settings.Station) {
        problems.push_back(settingsPath + ": [Station] location=" + location +
                           " is no LAT,LON in degrees; no station is used.");
        return;
    }
    const std::string range = IniString(text, kSettingsStation, "maxrange", "");
    if (range.empty()) return;
    const auto nm = ParseDecimal(range);
    if (!nm || *nm < kMinMaxRangeNm || *nm > kMaxMaxRangeNm) {
        problems.push_back(settingsPath + ": [Station] maxrange=" + range +
                           " is no range of 1 to 1000 NM; " + NumberText(kDefaultMaxRangeNm) +
                           " is used.");
        return;
    }
    settings.MaxRangeNm = *nm;
}

}  // namespace

ProfileSettings MakeProfileSettings(const std::vector<std::string>& ports, int udpPort) {
    std::vector<std::string> portItems = ports;
    portItems.emplace_back(" ");

    ProfileSettings s;
    s.Receiver1.Port = DropDownList(portItems, -1);
    // After the baud rates, the network kinds: the indexes a stored profile holds stay.
    std::vector<std::string> rates1 = kBaudRates;
    rates1.insert(rates1.end(), {std::string(kTcpRawItem), std::string(kTcpBeastItem)});
    s.Receiver1.BaudRate = DropDownList(rates1, 3);  // "1000000"
    s.Receiver1.Format = DropDownList({"@<48-bit counter><mode-s>;", "*<mode-s>; no CRC",
                                       ":<mode-s>; CRC done", std::string(kBeastFormatItem)},
                                      -1);

    std::vector<std::string> rates2 = kBaudRates;
    // Names the port the listener binds, so a receiver pointed at it is heard.
    rates2.push_back("UDP Port " + std::to_string(udpPort));
    rates2.insert(rates2.end(), {std::string(kTcpRawItem), std::string(kTcpBeastItem)});
    s.Receiver2.Port = DropDownList(portItems, -1);
    s.Receiver2.BaudRate = DropDownList(rates2, 5);  // "UDP Port 7934"
    s.Receiver2.Format = DropDownList({"@<counter><mode-s>;", "*<mode-s>; no CRC",
                                       ":<mode-s>; CRC done", std::string(kBeastFormatItem)},
                                      -1);
    s.Receiver2.Format.Editable = true;
    s.Receiver2.Format.Text = "*<mode-s>; no CRC";

    s.Timer = DropDownList({"2 sec", "5 secs", "15 secs", "30 secs", "60 secs"}, -1);
    return s;
}

std::string ProfileName(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) name = name.substr(0, dot);
    return std::string(name);
}

std::optional<std::string> LoadProfile(ReceiverProfile& receiver, const std::string& path) {
    QUORVEX_ASSERT_UI_THREAD();
    platform::RemoveLeftoverTemporaries(path);
    const platform::IniFileContent file = platform::ReadIniFile(path);
    receiver.ProfilePath = path;
    receiver.Label = ProfileName(path);
    const std::string port = IniString(file.Text, kProfileSection, "port", "COM1");
    // Every equal item is selected in turn, so the last one wins; none leaves it as it was.
    for (std::size_t i = 0; i < receiver.Port.Items.size(); ++i) {
        if (receiver.Port.Items[i] == port) receiver.Port.SelectIndex(static_cast<int>(i));
    }
    SelectStoredRate(receiver.BaudRate, IniInteger(file.Text, kProfileSection, "baudrate", 0));
    // A network receiver's port is the host:port typed for it.
    if (NetworkKindOf(receiver.BaudRate.Text)) receiver.Port.Text = port;
    MatchPortToRate(receiver);
    receiver.Format.SelectIndex(IniInteger(file.Text, kProfileSection, "string", 0));
    return ReadProblem(path, file);
}

void SaveProfile(ReceiverProfile& receiver, const std::string& path) {
    QUORVEX_ASSERT_UI_THREAD();
    IniWriteString(path, kProfileSection, "port", receiver.Port.Text);
    IniWriteInteger(path, kProfileSection, "baudrate", StoredRateIndex(receiver.BaudRate));
    IniWriteInteger(path, kProfileSection, "string", receiver.Format.ItemIndex);
    receiver.Label = ProfileName(path);
}

void SaveButtonConfirmed(ReceiverProfile& receiver, const std::string& path) {
    SaveProfile(receiver, path);
    receiver.Changed = false;
}

std::vector<std::string> LoadSettings(ProfileSettings& settings, const std::string& settingsPath) {
    QUORVEX_ASSERT_UI_THREAD();
    platform::RemoveLeftoverTemporaries(settingsPath);
    const platform::IniFileContent file = platform::ReadIniFile(settingsPath);
    std::vector<std::string> problems;
    if (auto problem = ReadProblem(settingsPath, file)) problems.push_back(std::move(*problem));
    const std::pair<const char*, ReceiverProfile*> profiles[] = {{"profile1", &settings.Receiver1},
                                                                 {"profile2", &settings.Receiver2}};
    for (const auto& [key, receiver] : profiles) {
        const std::string profile = IniString(file.Text, kSettingsProfiles, key, "");
        if (profile.empty()) continue;
        if (auto problem = LoadProfile(*receiver, profile)) problems.push_back(std::move(*problem));
    }
    settings.Timer.SelectIndex(
        IniInteger(file.Text, kSettingsTimer, "interval", kDefaultTimerIndex));
    LoadStation(settings, settingsPath, file.Text, problems);
    settings.Window = ReadWindowSettings(file.Text, settingsPath, problems);
    return problems;
}

void SaveSettings(const ProfileSettings& settings, const std::string& settingsPath) {
    QUORVEX_ASSERT_UI_THREAD();
    IniWriteString(settingsPath, kSettingsProfiles, "profile1", settings.Receiver1.ProfilePath);
    IniWriteString(settingsPath, kSettingsProfiles, "profile2", settings.Receiver2.ProfilePath);
    IniWriteInteger(settingsPath, kSettingsTimer, "interval", settings.Timer.ItemIndex);
    if (settings.Station) {
        IniWriteString(settingsPath, kSettingsStation, "location",
                       NumberText(settings.Station->lat) + "," + NumberText(settings.Station->lon));
        IniWriteString(settingsPath, kSettingsStation, "maxrange", NumberText(settings.MaxRangeNm));
    }
    WriteWindowSettings(settingsPath, settings.Window);
}

std::vector<std::string> FormCloseQuery(ProfileSettings& settings, const std::string& settingsPath,
                                        const CloseQueryDialogs& dialogs) {
    std::vector<std::string> failures;
    const auto step = [&failures, &dialogs](const auto& write) {
        if (dialogs.Ended && dialogs.Ended()) return;
        try {
            write();
        } catch (const platform::EIniWriteError& error) {
            failures.emplace_back(error.what());
        }
    };
    step([&] { AskToUpdate(settings.Receiver1, 1, dialogs); });
    step([&] { AskToUpdate(settings.Receiver2, 2, dialogs); });
    step([&] { SaveSettings(settings, settingsPath); });
    return failures;
}

std::vector<std::string> ProfilesLeftUnsaved(const ProfileSettings& settings) {
    std::vector<std::string> lines;
    int number = 0;
    for (const ReceiverProfile* receiver : {&settings.Receiver1, &settings.Receiver2}) {
        const std::string digit = std::to_string(++number);
        if (!receiver->Changed) continue;
        const std::string line = "Profile" + digit + " changed and was not ";
        lines.push_back(
            receiver->ProfilePath.empty()
                ? line + "saved, since a signal ended the program (no active profile" + digit + ")"
                : line + "updated, since a signal ended the program: " + receiver->ProfilePath +
                      " keeps its settings");
    }
    return lines;
}

}  // namespace quorvex
