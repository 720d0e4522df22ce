#include "BundleExcludeList.h"

#include <string_view>

namespace lurkel {
namespace {

constexpr std::string_view kSystemBundleIDs[] = {
    "com.apple.Photos",
    "com.apple.QuickTimePlayerX",
    "com.apple.Terminal",
    "com.apple.AddressBook",
    "com.apple.Notes",
    "com.apple.BluetoothFileExchange",
    "com.apple.mail",
    "com.apple.VoiceOverUtility",
    "com.apple.Console",
    "com.apple.iTunes",
    "com.apple.appstore",
    "com.apple.reminders",
    "com.apple.Safari",
    "com.apple.exposelauncher",
    "com.apple.audio.AudioMIDISetup",
    "com.apple.bootcampassistant",
    "com.apple.keychainaccess",
    "com.apple.FaceTime",
    "com.apple.iChat",
    "com.apple.gamecenter",
    "com.apple.PhotoBooth",
    "com.apple.SystemProfiler",
    "com.apple.ActivityMonitor",
    "com.apple.DVDPlayer",
    "com.apple.Maps",
    "com.apple.Stickies",
    "com.apple.MigrateAssistant",
    "com.apple.grapher",
    "com.apple.Grab",
    "com.apple.Preview",
    "com.apple.airport.airportutility",
    "com.apple.dashboardlauncher",
    "com.apple.Dictionary",
    "com.apple.systempreferences",
    "com.apple.Automator",
    "com.apple.FontBook",
    "com.apple.backup.launcher",
    "com.apple.DiskUtility",
    "com.apple.Chess",
    "com.apple.ColorSyncUtility",
    "com.apple.TextEdit",
    "com.apple.launchpad.launcher",
    "com.apple.Image_Capture",
    "com.apple.calculator",
    "com.apple.iCal",
    "com.apple.iBooksX",
    "com.apple.X11redirect",
    "com.apple.DigitalColorMeter",
    "com.apple.ScriptEditor2",
};
static_assert(std::size(kSystemBundleIDs) == 49);

// The applications a GNOME or Plasma desktop installs as part of itself (desktop-file ids,
// current and recent spellings).
constexpr std::string_view kDesktopCoreApplications[] = {
    // GNOME
    "org.gnome.Nautilus",
    "org.gnome.Settings",
    "gnome-control-center",
    "org.gnome.Terminal",
    "org.gnome.Console",
    "org.gnome.TextEditor",
    "org.gnome.gedit",
    "org.gnome.Calculator",
    "org.gnome.Calendar",
    "org.gnome.Contacts",
    "org.gnome.clocks",
    "org.gnome.Weather",
    "org.gnome.Maps",
    "org.gnome.Loupe",
    "org.gnome.eog",
    "org.gnome.Evince",
    "org.gnome.Totem",
    "org.gnome.Software",
    "org.gnome.SystemMonitor",
    "gnome-system-monitor",
    "org.gnome.DiskUtility",
    "org.gnome.baobab",
    "org.gnome.Logs",
    "org.gnome.Characters",
    "org.gnome.font-viewer",
    "org.gnome.FileRoller",
    "org.gnome.Extensions",
    "org.gnome.Tour",
    "yelp",
    "org.gnome.Yelp",
    "org.gnome.Snapshot",
    "org.gnome.Epiphany",
    "org.gnome.Music",
    "org.gnome.Connections",
    "org.gnome.seahorse.Application",
    "org.gnome.SimpleScan",
    "org.gnome.Screenshot",
    // KDE Plasma
    "org.kde.dolphin",
    "org.kde.konsole",
    "systemsettings",
    "org.kde.systemsettings",
    "org.kde.kate",
    "org.kde.kwrite",
    "org.kde.ark",
    "org.kde.okular",
    "org.kde.gwenview",
    "org.kde.spectacle",
    "org.kde.kcalc",
    "org.kde.discover",
    "org.kde.plasma-systemmonitor",
    "org.kde.ksysguard",
    "org.kde.kinfocenter",
    "org.kde.khelpcenter",
    "org.kde.kmenuedit",
    "org.kde.partitionmanager",
    "org.kde.kwalletmanager5",
    "org.kde.kwalletmanager",
    "org.kde.elisa",
    "org.kde.dragonplayer",
    "org.kde.kfind",
    "org.kde.filelight",
};

constexpr std::string_view kDesktopSuffix = ".desktop";

std::string asciiLowered(std::string_view text)
{
    std::string out(text);
    for (char &c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

} // namespace

const BundleExcludeList &BundleExcludeList::GetInstance()
{
    static const BundleExcludeList instance;
    return instance;
}

BundleExcludeList::BundleExcludeList()
{
    for (const std::string_view id : kSystemBundleIDs)
        m_pExcludeList.insert(asciiLowered(id));
    for (const std::string_view id : kDesktopCoreApplications)
        m_pExcludeList.insert(asciiLowered(id));
}

bool BundleExcludeList::isSystemBundleID(const std::optional<QString> &bundleID) const
{
    if (!bundleID) return true;
    const QByteArray utf8 = bundleID->toLower().toUtf8();
    std::string_view key(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    if (key.size() > kDesktopSuffix.size() && key.ends_with(kDesktopSuffix)) key.remove_suffix(kDesktopSuffix.size());
    return m_pExcludeList.contains(std::string(key));
}

} // namespace lurkel
