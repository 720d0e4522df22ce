#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace lurkel {

// The permission problems a failed switch script can report, each with its own alert.
enum class AccessErrorCase {
    FinderAutomation,       // the file manager could not be controlled
    SystemEventsAutomation, // the running file managers could not be driven (quit, restart)
    Accessibility,          // the desktop session refused what the switch needs
};

// The case that a failed switch script's error description points at, or nullopt when it
// is not a permission problem (no alert then):
//  - "-1743" (automation refused) together with "Finder": FinderAutomation; else together
//    with "System Events": SystemEventsAutomation; else none;
//  - otherwise "1002": Accessibility.
// The comparison is case-sensitive.
std::optional<AccessErrorCase> accessErrorCaseForDescription(const QString &description);

// What the alert for a case shows and opens.
struct AccessErrorDetails {
    QString title;           // the alert's text (HiddenManagerLocalizable)
    QString message;         // its informative text
    QUrl settingsTarget;     // opened by the first button: the README's Troubleshooting entry
    QString anchor;          // the getting-started page's anchor, "#finder", "#systemevents", "#accessibility"
    QString readMoreAddress; // opened by the second button: getting-started page + campaign query + anchor
};

AccessErrorDetails accessErrorDetails(AccessErrorCase accessCase);

// The getting-started page with the campaign query, as the permission sheet's "Read More"
// opens it (no anchor).
QString gettingStartedReadMoreAddress();

} // namespace lurkel
