#include "Localized.h"

#include "Log.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QMutex>
#include <QStringList>

namespace lurkel {
namespace {

struct Store {
    QMutex mutex;
    QStringList searchPaths;
    QStringList languages;
    bool languagesSet = false;
    QHash<QString, QHash<QString, QString>> tables; // "<lang>/<table>" -> key -> text
};

Store &store()
{
    static Store s;
    return s;
}

QStringList localeLanguages()
{
    QStringList out;
    for (const QString &name : QLocale().uiLanguages()) {
        QString lang = name;
        lang.replace(QLatin1Char('-'), QLatin1Char('_'));
        if (!out.contains(lang)) out << lang;
        const QString base = lang.section(QLatin1Char('_'), 0, 0);
        if (!out.contains(base)) out << base;
    }
    return out;
}

const QHash<QString, QString> &tableFor(Store &s, const QString &lang, const QString &table)
{
    const QString id = lang + QLatin1Char('/') + table;
    auto it = s.tables.find(id);
    if (it != s.tables.end()) return *it;
    QHash<QString, QString> entries;
    QStringList folders = s.searchPaths;
    folders << QStringLiteral(":/i18n");
    for (const QString &folder : folders) {
        QFile file(folder + QLatin1Char('/') + id + QStringLiteral(".json"));
        if (!file.open(QIODevice::ReadOnly)) continue;
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
        if (!doc.isObject()) {
            qCWarning(lcPlatform, "string table %s: %s", qUtf8Printable(file.fileName()),
                      qUtf8Printable(error.errorString()));
            continue;
        }
        const QJsonObject obj = doc.object();
        for (auto e = obj.begin(); e != obj.end(); ++e) {
            if (e.value().isString() && !entries.contains(e.key())) entries.insert(e.key(), e.value().toString());
        }
    }
    return *s.tables.insert(id, entries);
}

} // namespace

QString Localized::string(const QString &table, const QString &key, const QString &defaultText)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    if (!s.languagesSet) {
        s.languages = localeLanguages();
        s.languagesSet = true;
    }
    for (const QString &lang : std::as_const(s.languages)) {
        const auto &entries = tableFor(s, lang, table);
        auto it = entries.find(key);
        if (it != entries.end()) return *it;
    }
    return defaultText;
}

void Localized::addSearchPath(const QString &folder)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    s.searchPaths.prepend(folder);
    s.tables.clear();
}

void Localized::setLanguages(const QStringList &languages)
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    s.languages = languages;
    s.languagesSet = true;
    s.tables.clear();
}

void Localized::clearCache()
{
    Store &s = store();
    QMutexLocker lock(&s.mutex);
    s.tables.clear();
}

} // namespace lurkel
