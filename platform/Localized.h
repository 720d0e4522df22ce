#pragma once

#include <QString>
#include <QStringList>

namespace lurkel {

// Localized text by (table, key, default). Translations are JSON objects (key -> text)
// named TABLE.json in a folder per language: the folders searched are ":/i18n/<lang>"
// and any added with addSearchPath(). Without a translation of the key, the default.
class Localized {
public:
    static QString string(const QString &table, const QString &key, const QString &defaultText);
    // Adds a folder that holds <lang>/<table>.json files (searched before the built-in ones).
    static void addSearchPath(const QString &folder);
    // The languages tried, best first; from the locale unless set (tests).
    static void setLanguages(const QStringList &languages);
    static void clearCache();
};

} // namespace lurkel
