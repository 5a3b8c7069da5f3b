#include "core/profiles.h"

#include "platform/ini_file.h"
#include "platform/ui_thread.h"

namespace quorvex {
namespace {

using platform::IniReadInteger;
using platform::IniReadString;
using platform::IniWriteInteger;
using platform::IniWriteString;

constexpr std::string_view kProfileSection = "intf";
constexpr std::string_view kSettingsProfiles = "profiles";
constexpr std::string_view kSettingsTimer = "timer";

const std::vector<std::string> kBaudRates = {"115200", "833333", "921600", "1000000", "3000000"};
constexpr int kDefaultTimerIndex = 1;  // "5 secs"

ComboModel DropDownList(std::vector<std::string> items, int selected) {
    ComboModel combo;
    combo.Items = std::move(items);
    combo.SelectIndex(selected);
    return combo;
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

}  // namespace

ProfileSettings MakeProfileSettings(const std::vector<std::string>& ports, int udpPort) {
    std::vector<std::string> portItems = ports;
    portItems.emplace_back(" ");

    ProfileSettings s;
    s.Receiver1.Port = DropDownList(portItems, -1);
    s.Receiver1.BaudRate = DropDownList(kBaudRates, 3);  // "1000000"
    s.Receiver1.Format = DropDownList(
        {"@<48-bit counter><mode-s>;", "*<mode-s>; no CRC", ":<mode-s>; CRC done"}, -1);

    std::vector<std::string> rates2 = kBaudRates;
    // Names the port the listener binds, so a receiver pointed at it is heard.
    rates2.push_back("UDP Port " + std::to_string(udpPort));
    s.Receiver2.Port = DropDownList(portItems, -1);
    s.Receiver2.BaudRate = DropDownList(rates2, 5);  // "UDP Port 7934"
    s.Receiver2.Format =
        DropDownList({"@<counter><mode-s>;", "*<mode-s>; no CRC", ":<mode-s>; CRC done"}, -1);
    s.Receiver2.Format.Editable = true;
    s.Receiver2.Format.Text = "*<mode-s>; no CRC";

    s.Timer = DropDownList({"2 sec", "5 secs", "15 secs", "30 secs", "60 secs"}, -1);
    return s;
}

std::string SettingsFilePath(const std::string& appFolder) {
    return appFolder + "quorvex.ini";
}
std::string ProfilesFolder(const std::string& appFolder) {
    return appFolder + "profiles";
}

std::string ProfileName(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) name = name.substr(0, dot);
    return std::string(name);
}

void LoadProfile(ReceiverProfile& receiver, const std::string& path) {
    QUORVEX_ASSERT_UI_THREAD();
    receiver.ProfilePath = path;
    receiver.Label = ProfileName(path);
    const std::string port = IniReadString(path, kProfileSection, "port", "COM1");
    // Every equal item is selected in turn, so the last one wins; none leaves it as it was.
    for (std::size_t i = 0; i < receiver.Port.Items.size(); ++i) {
        if (receiver.Port.Items[i] == port) receiver.Port.SelectIndex(static_cast<int>(i));
    }
    receiver.BaudRate.SelectIndex(IniReadInteger(path, kProfileSection, "baudrate", 0));
    receiver.Format.SelectIndex(IniReadInteger(path, kProfileSection, "string", 0));
}

void SaveProfile(ReceiverProfile& receiver, const std::string& path) {
    QUORVEX_ASSERT_UI_THREAD();
    IniWriteString(path, kProfileSection, "port", receiver.Port.Text);
    IniWriteInteger(path, kProfileSection, "baudrate", receiver.BaudRate.ItemIndex);
    IniWriteInteger(path, kProfileSection, "string", receiver.Format.ItemIndex);
    receiver.Label = ProfileName(path);
}

void SaveButtonConfirmed(ReceiverProfile& receiver, const std::string& path) {
    SaveProfile(receiver, path);
    receiver.Changed = false;
}

void LoadSettings(ProfileSettings& settings, const std::string& settingsPath) {
    QUORVEX_ASSERT_UI_THREAD();
    const std::string profile1 = IniReadString(settingsPath, kSettingsProfiles, "profile1", "");
    if (!profile1.empty()) LoadProfile(settings.Receiver1, profile1);
    const std::string profile2 = IniReadString(settingsPath, kSettingsProfiles, "profile2", "");
    if (!profile2.empty()) LoadProfile(settings.Receiver2, profile2);
    settings.Timer.SelectIndex(
        IniReadInteger(settingsPath, kSettingsTimer, "interval", kDefaultTimerIndex));
}

void SaveSettings(const ProfileSettings& settings, const std::string& settingsPath) {
    QUORVEX_ASSERT_UI_THREAD();
    IniWriteString(settingsPath, kSettingsProfiles, "profile1", settings.Receiver1.ProfilePath);
    IniWriteString(settingsPath, kSettingsProfiles, "profile2", settings.Receiver2.ProfilePath);
    IniWriteInteger(settingsPath, kSettingsTimer, "interval", settings.Timer.ItemIndex);
}

void FormCloseQuery(ProfileSettings& settings, const std::string& settingsPath,
                    const CloseQueryDialogs& dialogs) {
    AskToUpdate(settings.Receiver1, 1, dialogs);
    AskToUpdate(settings.Receiver2, 2, dialogs);
    SaveSettings(settings, settingsPath);
}

}  // namespace quorvex
