#include "PluginElection.h"

#include "Identity.h"
#include "Log.h"
#include "XdgDirs.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel {
namespace {

QJsonObject readElections()
{
    const int fd = ::open(PluginElection::filePath().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    QByteArray data;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        data.append(buffer, n);
    ::close(fd);
    const QJsonDocument doc = QJsonDocument::fromJson(data);
    return doc.isObject() ? doc.object() : QJsonObject();
}

} // namespace

BytePath PluginElection::filePath()
{
    return XdgDirs::appDataDir() / "plugins.json";
}

bool PluginElection::isKnownIdentifier(const QString &identifier)
{
    return identifier == QLatin1String(Identity::kFinderSyncIdentifier);
}

PluginElection::Choice PluginElection::electionFor(const QString &identifier)
{
    return readElections().value(identifier).toString() == QLatin1String("use") ? Choice::Use : Choice::Ignore;
}

std::optional<Error> PluginElection::setElection(const QString &identifier, Choice choice)
{
    const BytePath folder = XdgDirs::appDataDir();
    if (!XdgDirs::makePath(folder)) return Error::posix(errno, folder.displayString());
    QJsonObject elections = readElections();
    elections.insert(identifier, choice == Choice::Use ? QStringLiteral("use") : QStringLiteral("ignore"));
    const QByteArray data = QJsonDocument(elections).toJson(QJsonDocument::Indented);

    const BytePath target = filePath();
    const BytePath temporary(target.bytes() + ".tmp-" + std::to_string(::getpid()));
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return Error::posix(errno, temporary.displayString());
    const bool written =
        ::write(fd, data.constData(), static_cast<std::size_t>(data.size())) == data.size() && ::fsync(fd) == 0;
    const int saved = errno;
    ::close(fd);
    if (!written || std::rename(temporary.c_str(), target.c_str()) != 0) {
        const int err = written ? errno : saved;
        ::unlink(temporary.c_str());
        return Error::posix(err, target.displayString());
    }
    return std::nullopt;
}

} // namespace lurkel
