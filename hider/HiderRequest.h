#pragma once

#include "BytePath.h"

#include <QString>
#include <QVariantMap>

#include <optional>

namespace lurkel {

// One request to the helper service, read from the dictionary of its Request call.
struct HiderRequest {
    enum class Kind {
        ShowHidden, // switch the file managers' visibility (hide: hidden files shown)
        Item,       // set (hide) or clear the hidden flag of the item at path
    };
    Kind kind = Kind::Item;
    BytePath path;
    bool hide = false;

    // "body" is the string "doShowHidden" or an absolute path: bytes (ay, one trailing NUL
    // dropped as GLib sends them) or a string. "hide" is a boolean; a missing one reads
    // false. Anything else (no body, a body or hide of another type, a relative path, a NUL
    // inside a path) is refused: nullopt, with the reason in refusal.
    static std::optional<HiderRequest> fromDictionary(const QVariantMap &request, QString &refusal);
};

} // namespace lurkel
