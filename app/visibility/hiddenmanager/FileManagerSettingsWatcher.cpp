#include "FileManagerSettingsWatcher.h"

#include "HiddenManager.h"
#include "Log.h"
#include "XdgDirs.h"

#include <QDBusConnection>
#include <QDBusVariant>
#include <QFileSystemWatcher>

#include <sys/stat.h>

namespace lurkel {
namespace {

constexpr char kDconfPath[] = "/ca/desrt/dconf/Writer/user";
constexpr char kDconfInterface[] = "ca.desrt.dconf.Writer";
constexpr char kXfconfPath[] = "/org/xfce/Xfconf";
constexpr char kXfconfInterface[] = "org.xfce.Xfconf";

QString folderString(const BytePath &path)
{
    return QString::fromLocal8Bit(path.c_str());
}

bool isDirectory(const BytePath &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

FileManagerSettingsWatcher::FileManagerSettingsWatcher(HiddenManager &hidden, QObject *parent)
    : QObject(parent), m_hidden(hidden)
{}

FileManagerSettingsWatcher::~FileManagerSettingsWatcher() = default;

bool FileManagerSettingsWatcher::isRelevantDconfChange(const QString &prefix, const QStringList &keys)
{
    const QStringList relative = keys.isEmpty() ? QStringList{QString()} : keys;
    for (const QString &key : relative) {
        const QString changed = prefix + key;
        for (const char *watched : kDconfKeys) {
            const QLatin1StringView name(watched);
            // A folder that changed (a reset of it, or a change written as one) holds the key.
            if (changed == name || (changed.endsWith(QLatin1Char('/')) && name.startsWith(changed))) return true;
        }
    }
    return false;
}

bool FileManagerSettingsWatcher::isRelevantXfconfChange(const QString &channel, const QString &property)
{
    return channel == QLatin1String("thunar") && property == QLatin1String("/last-show-hidden");
}

void FileManagerSettingsWatcher::start()
{
    if (m_started) return;
    m_started = true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        // Signals only: nothing is started on the bus to receive them.
        const bool dconf =
            bus.connect(QString(), QLatin1String(kDconfPath), QLatin1String(kDconfInterface), QStringLiteral("Notify"),
                        this, SLOT(dconfNotify(QString, QStringList, QString)));
        const bool xfconf = bus.connect(QString(), QLatin1String(kXfconfPath), QLatin1String(kXfconfInterface),
                                        QStringLiteral("PropertyChanged"), this,
                                        SLOT(xfconfPropertyChanged(QString, QString, QDBusVariant)));
        const bool removed =
            bus.connect(QString(), QLatin1String(kXfconfPath), QLatin1String(kXfconfInterface),
                        QStringLiteral("PropertyRemoved"), this, SLOT(xfconfPropertyRemoved(QString, QString)));
        if (!dconf || !xfconf || !removed) qCWarning(lcVisibility, "cannot follow dconf or xfconf changes");
    }

    const BytePath config = XdgDirs::configHome();
    const BytePath data = XdgDirs::dataHome();
    for (const BytePath &file :
         {data / "dolphin" / "view_properties" / "global" / ".directory", config / "dolphinrc",
          config / "pcmanfm" / "default" / "pcmanfm.conf", config / "pcmanfm-qt" / "default" / "settings.conf",
          // the profiles LXDE and LXQt run them with
          config / "pcmanfm" / "LXDE" / "pcmanfm.conf", config / "pcmanfm-qt" / "lxqt" / "settings.conf"}) {
        m_files.push_back({file, signatureOf(file)});
    }
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { folderChanged(); });
    watchFolders();
}

void FileManagerSettingsWatcher::watchFolders()
{
    const BytePath home = XdgDirs::home();
    QStringList wanted;
    for (const WatchedFile &file : m_files) {
        // The file's folder, or while it is missing the nearest parent that exists (its
        // creation shows there), never above the home folder.
        BytePath folder = file.path.parent();
        while (!isDirectory(folder) && folder != home && folder.parent() != folder)
            folder = folder.parent();
        if (isDirectory(folder)) wanted.append(folderString(folder));
    }
    wanted.removeDuplicates();
    const QStringList watched = m_watcher->directories();
    for (const QString &folder : watched) {
        if (!wanted.contains(folder)) m_watcher->removePath(folder);
    }
    for (const QString &folder : wanted) {
        if (!watched.contains(folder)) m_watcher->addPath(folder);
    }
}

void FileManagerSettingsWatcher::folderChanged()
{
    // A new or removed folder moves the watch; a file of interest compares its identity,
    // so that other files in the same folder (our own settings among them) cost a stat.
    watchFolders();
    bool changed = false;
    for (WatchedFile &file : m_files) {
        const auto now = signatureOf(file.path);
        if (now == file.signature) continue;
        file.signature = now;
        changed = true;
    }
    if (changed) noteChange("file");
}

std::array<std::int64_t, 5> FileManagerSettingsWatcher::signatureOf(const BytePath &path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return {static_cast<std::int64_t>(st.st_dev), static_cast<std::int64_t>(st.st_ino),
            static_cast<std::int64_t>(st.st_size), static_cast<std::int64_t>(st.st_mtim.tv_sec),
            static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
}

void FileManagerSettingsWatcher::dconfNotify(const QString &prefix, const QStringList &keys, const QString &)
{
    if (isRelevantDconfChange(prefix, keys)) noteChange("dconf");
}

void FileManagerSettingsWatcher::xfconfPropertyChanged(const QString &channel, const QString &property,
                                                       const QDBusVariant &)
{
    if (isRelevantXfconfChange(channel, property)) noteChange("xfconf");
}

void FileManagerSettingsWatcher::xfconfPropertyRemoved(const QString &channel, const QString &property)
{
    if (isRelevantXfconfChange(channel, property)) noteChange("xfconf");
}

void FileManagerSettingsWatcher::noteChange(const char *where)
{
    ++m_changes;
    qCDebug(lcVisibility, "a file manager's show-hidden setting changed (%s)", where);
    m_hidden.setNeedsLoadVisibilityState();
    Q_EMIT settingChanged();
}

} // namespace lurkel
