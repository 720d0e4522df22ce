#include "PluginElection.h"

#include "Identity.h"
#include "Log.h"
#include "PosixFile.h"
#include "XdgDirs.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel {
namespace {

QJsonObject readElections()
{
    const UniqueFd fd(::open(PluginElection::filePath().c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return {};
    QByteArray data;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fd.get(), buffer, sizeof buffer)) > 0)
        data.append(buffer, n);
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
    if (const int err = makePath(folder)) return Error::posix(err, folder.displayString());
    QJsonObject elections = readElections();
    elections.insert(identifier, choice == Choice::Use ? QStringLiteral("use") : QStringLiteral("ignore"));
    const QByteArray data = QJsonDocument(elections).toJson(QJsonDocument::Indented);
    if (auto error = writeFileAtomically(
            filePath(), std::string_view(data.constData(), static_cast<std::size_t>(data.size())), {.mode = 0644})) {
        return Error::posix(error->code, filePath().displayString());
    }
    return std::nullopt;
}

} // namespace lurkel
