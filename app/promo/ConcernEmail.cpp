#include "ConcernEmail.h"

#include "PromoManager.h"

#include <QFile>
#include <QHash>
#include <QUrlQuery>

#include <sys/utsname.h>

namespace lurkel {

namespace {

// One os-release value: the text after "=", unquoted.
QString unquote(const QString &raw)
{
    QString value = raw.trimmed();
    if (value.size() >= 2 && value.front() == QLatin1Char('\'') && value.back() == QLatin1Char('\''))
        return value.mid(1, value.size() - 2);
    if (value.size() < 2 || value.front() != QLatin1Char('"') || value.back() != QLatin1Char('"')) return value;
    QString out;
    const QString inner = value.mid(1, value.size() - 2);
    for (qsizetype i = 0; i < inner.size(); ++i) {
        const QChar c = inner.at(i);
        if (c == QLatin1Char('\\') && i + 1 < inner.size() && QStringLiteral("\"\\$`").contains(inner.at(i + 1))) {
            out += inner.at(++i);
        } else {
            out += c;
        }
    }
    return out;
}

QString kernelRelease()
{
    struct utsname names {};
    if (::uname(&names) != 0) return {};
    return QString::fromLocal8Bit(names.release);
}

} // namespace

QString ConcernEmail::replaceTag(const QString &tag, const QString &source, const QString &value)
{
    return QString(source).replace(tag, value);
}

QString ConcernEmail::subject(const QString &appName)
{
    return replaceTag(QStringLiteral("#appname#"), QString::fromLatin1(kSubjectTemplate), appName);
}

QString ConcernEmail::body(const QString &appName, const QString &appVersion, const QString &osLine)
{
    QString text = QString::fromLatin1(kBodyTemplate);
    text = replaceTag(QStringLiteral("#appname#"), text, appName);
    text = replaceTag(QStringLiteral("#appversion#"), text, appVersion);
    return replaceTag(QStringLiteral("#osline#"), text, osLine);
}

QUrl ConcernEmail::mailtoUrl(const QString &appName, const QString &appVersion, const QString &osLine)
{
    const QByteArray encoded = QByteArrayLiteral("mailto:") + QByteArray(kSupportAddress) +
                               QByteArrayLiteral("?Subject=") + QUrl::toPercentEncoding(subject(appName)) +
                               QByteArrayLiteral("&body=") + QUrl::toPercentEncoding(body(appName, appVersion, osLine));
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

QUrl ConcernEmail::createConcernEmail()
{
    return mailtoUrl(PromoManager::getAppName(), PromoManager::getAppVersion(), operatingSystemLine());
}

std::optional<QString> ConcernEmail::distributionName(const QByteArray &osRelease)
{
    QHash<QString, QString> values;
    for (const QByteArray &line : osRelease.split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        const qsizetype equals = text.indexOf(QLatin1Char('='));
        if (text.startsWith(QLatin1Char('#')) || equals <= 0) continue;
        values.insert(text.left(equals), unquote(text.mid(equals + 1)));
    }
    const QString pretty = values.value(QStringLiteral("PRETTY_NAME")).simplified();
    if (!pretty.isEmpty()) return pretty;
    const QString name =
        (values.value(QStringLiteral("NAME")) + QLatin1Char(' ') + values.value(QStringLiteral("VERSION_ID")))
            .simplified();
    if (!name.isEmpty()) return name;
    return std::nullopt;
}

QString ConcernEmail::operatingSystemLine(const QString &osReleasePath, const QString &fallbackPath)
{
    for (const QString &path : {osReleasePath, fallbackPath}) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) continue;
        // os-release is a few hundred bytes; a larger file is not one
        if (const auto name = distributionName(file.read(qint64{64} * 1024))) return *name;
    }
    return (QStringLiteral("Linux ") + kernelRelease()).trimmed();
}

} // namespace lurkel
