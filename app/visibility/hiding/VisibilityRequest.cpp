#include "VisibilityRequest.h"

#include "DistributedNotificationCenter.h"
#include "Log.h"
#include "MessageNames.h"

namespace lurkel {

std::optional<BytePathList> VisibilityRequest::pathsOfVisibilityRequest(const Notification &note)
{
    if (note.userInfo.contains(QString::fromLatin1(MessageNames::kPathsKey))) {
        std::optional<BytePathList> exact = DistributedNotificationCenter::pathsFromUserInfo(note.userInfo);
        if (!exact) {
            qCWarning(lcVisibility, "visibility request: its \"paths\" are not a list of byte strings; ignored");
            return std::nullopt;
        }
        BytePathList paths;
        for (BytePath &path : *exact) {
            if (path.isAbsolute())
                paths.push_back(std::move(path));
            else
                qCWarning(lcVisibility, "visibility request: not an absolute path, refused: %s",
                          qPrintable(path.displayString()));
        }
        if (paths.empty()) return std::nullopt;
        return paths;
    }
    if (note.object.typeId() != QMetaType::QString) return std::nullopt;
    const QString joined = note.object.toString();
    BytePathList paths;
    for (const QString &piece : joined.split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
        const QByteArray bytes = piece.toUtf8();
        BytePath path(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        if (!path.isAbsolute()) {
            qCWarning(lcVisibility, "visibility request: not an absolute path, refused: %s", qPrintable(piece));
            continue;
        }
        paths.push_back(std::move(path));
    }
    if (paths.empty()) return std::nullopt;
    return paths;
}

} // namespace lurkel
