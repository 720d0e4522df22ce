#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

namespace lurkel {

// The concern report a low rating turns into: a mailto address to the maker's support with
// the subject "<name> Concern Report" and a body that names the program, its version and
// the operating system, for the user's mail client to complete.
class ConcernEmail {
public:
    static inline constexpr const char kSupportAddress[] = "support@brendix.example";
    static inline constexpr const char kSubjectTemplate[] = "#appname# Concern Report";
    static inline constexpr const char kBodyTemplate[] = "\n\nSent from:\n#appname# v#appversion#\n#osline#\n";
    static inline constexpr const char kOsReleasePath[] = "/etc/os-release";
    static inline constexpr const char kOsReleaseFallbackPath[] = "/usr/lib/os-release";

    ConcernEmail() = delete;

    // source with every occurrence of tag replaced by value.
    static QString replaceTag(const QString &tag, const QString &source, const QString &value);

    static QString subject(const QString &appName);
    static QString body(const QString &appName, const QString &appVersion, const QString &osLine);
    // "mailto:<support>?Subject=<subject>&body=<body>", each part percent-encoded on its own
    // so that "&", "=", "#" or line breaks in the texts stay text.
    static QUrl mailtoUrl(const QString &appName, const QString &appVersion, const QString &osLine);
    // The same for this program on this system.
    static QUrl createConcernEmail();

    // The distribution's name as os-release gives it (PRETTY_NAME, else NAME + VERSION_ID),
    // read from osReleasePath, then fallbackPath; "Linux <kernel release>" when neither
    // names it.
    static QString operatingSystemLine(const QString &osReleasePath = QString::fromLatin1(kOsReleasePath),
                                       const QString &fallbackPath = QString::fromLatin1(kOsReleaseFallbackPath));
    // PRETTY_NAME (else NAME and VERSION_ID) of an os-release text: shell-style assignments,
    // values plain, in double quotes (with \", \\, \$ and \` escapes) or in single quotes.
    static std::optional<QString> distributionName(const QByteArray &osRelease);
};

} // namespace lurkel
