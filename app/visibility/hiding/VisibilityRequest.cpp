#include "VisibilityRequest.h"

#include "DistributedNotificationCenter.h"
#include "Log.h"
#include "MessageNames.h"

namespace lurkel {

std::optional<BytePathList> VisibilityRequest::pathsOfVisibilityRequest(const Notification &note)
{
    if (note.userInfo.contains(QString::fromLatin1(MessageNames::kPathsKey))) {
        // Exact paths: each stands on its own, so the unusable ones are left out.
        std::optional<BytePathList> exact = DistributedNotificationCenter::pathsFromUserInfo(note.userInfo);
        if (!exact) {
            qCWarning(lcVisibility, "visibility request: its \"paths\" are not a list of byte strings; ignored");
            return std::nullopt;
        }
        BytePathList paths;
        for (BytePath &path : *exact) {
            if (path.isAbsolute() && !path.containsNul()) paths.push_back(std::move(path));
        }
        if (paths.size() != exact->size()) {
            qCWarning(lcVisibility,
                      "visibility request: %lld of %lld paths refused (not absolute, or holding a NUL byte)",
                      static_cast<long long>(exact->size() - paths.size()), static_cast<long long>(exact->size()));
        }
        if (paths.empty()) return std::nullopt;
        return paths;
    }
    if (note.object.typeId() != QMetaType::QString) return std::nullopt;
    // The joined form: a piece that is not an absolute path means a name holding ", " was
    // cut, and acting on the pieces could touch other files, so the whole request is refused.
    BytePathList paths;
    for (const QString &piece : note.object.toString().split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
        BytePath path = BytePath::fromText(piece);
        if (!path.isAbsolute() || path.containsNul()) {
            qCWarning(lcVisibility, "visibility request: its paths cannot be told apart (a name holds \", \" or "
                                    "is not absolute); refused whole");
            return std::nullopt;
        }
        paths.push_back(std::move(path));
    }
    if (paths.empty()) return std::nullopt;
    return paths;
}

} // namespace lurkel
