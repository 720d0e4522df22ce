#include "HiderRequest.h"
#include "MessageNames.h"

#include <QByteArray>
#include <QMetaType>

namespace lurkel {

std::optional<HiderRequest> HiderRequest::fromDictionary(const QVariantMap &request, QString &refusal)
{
    const QString bodyKey = QString::fromLatin1(MessageNames::kHiderBody);
    const QString hideKey = QString::fromLatin1(MessageNames::kHiderHide);
    HiderRequest parsed;

    const QVariant hide = request.value(hideKey);
    if (hide.isValid()) {
        if (hide.metaType().id() != QMetaType::Bool) {
            refusal = QStringLiteral("\"hide\" is not a boolean");
            return std::nullopt;
        }
        parsed.hide = hide.toBool();
    }

    const QVariant body = request.value(bodyKey);
    switch (body.metaType().id()) {
    case QMetaType::QString: {
        const QString text = body.toString();
        if (text == QLatin1String(MessageNames::kDoShowHidden)) {
            parsed.kind = Kind::ShowHidden;
            return parsed;
        }
        parsed.path = BytePath::fromText(text);
        break;
    }
    case QMetaType::QByteArray:
        parsed.path = BytePath::fromBusBytes(body.toByteArray());
        break;
    default:
        refusal = body.isValid() ? QStringLiteral("\"body\" is neither a path nor \"doShowHidden\"")
                                 : QStringLiteral("the request has no \"body\"");
        return std::nullopt;
    }
    if (parsed.path.containsNul()) {
        refusal = QStringLiteral("the path holds a NUL byte");
        return std::nullopt;
    }
    if (!parsed.path.isAbsolute()) {
        refusal = QStringLiteral("\"%1\" is not an absolute path").arg(parsed.path.displayString());
        return std::nullopt;
    }
    parsed.kind = Kind::Item;
    return parsed;
}

} // namespace lurkel
