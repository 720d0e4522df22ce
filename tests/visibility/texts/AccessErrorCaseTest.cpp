#include "AccessErrorCase.h"
#include "HiddenManagerLocalizable.h"
#include "Localized.h"
#include "PromoSettings.h"
#include "TestEnvironment.h"
#include "UserDefaults.h"
#include "XdgDirs.h"

#include "QtPrinters.h"

#include <QFile>

#include <gtest/gtest.h>

#include <optional>
#include <utility>

using lurkel::AccessErrorCase;
using lurkel::accessErrorCaseForDescription;
using lurkel::accessErrorDetails;
using lurkel::HiddenManagerLocalizable;

namespace {

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

void useMakersHost()
{
    lurkel::UserDefaults defaults(s("com.brendix.Lurkel-SII.access-test"));
    lurkel::PromoSettings::reloadFromDefaults(defaults);
}

} // namespace

TEST(AccessErrorCase, ChosenFromTheErrorDescription)
{
    const struct {
        const char *description;
        std::optional<AccessErrorCase> expected;
    } cases[] = {
        {"execution error: Not authorized to send Apple events to Finder. (-1743) (exit 1)",
         AccessErrorCase::FinderAutomation},
        {"Not authorized to send Apple events to System Events. (-1743)", AccessErrorCase::SystemEventsAutomation},
        {"-1743 Finder and System Events", AccessErrorCase::FinderAutomation}, // Finder is asked first
        {"Not authorized to send Apple events to Dock. (-1743)", std::nullopt},
        {"-1743 with 1002 but no application named", std::nullopt}, // the automation rule decides alone
        {"System Events got an error: Lurkel is not allowed assistive access. (-25211) (1002)",
         AccessErrorCase::Accessibility},
        {"not authorized for finder (-1743)", std::nullopt}, // names compare with case
        {"gsettings: No such schema (exit 1)", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(accessErrorCaseForDescription(s(c.description)), c.expected) << c.description;
}

// The settings targets point into the README's Troubleshooting section: its anchors must be there.
TEST(AccessErrorCase, TargetsAndAnchorsAreInTheReadme)
{
    useMakersHost();
    const QString readMore =
        s("https://brendix.example/lurkel/getting-started?utm_source=Lurkel&utm_medium=from%20app");
    EXPECT_EQ(lurkel::gettingStartedReadMoreAddress(), readMore);
    QFile readme(s(LURKEL_SOURCE_DIR "/README.md"));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll());
    for (const auto &[accessCase, anchor] : {std::pair{AccessErrorCase::FinderAutomation, "#finder"},
                                             std::pair{AccessErrorCase::SystemEventsAutomation, "#systemevents"},
                                             std::pair{AccessErrorCase::Accessibility, "#accessibility"}}) {
        const auto d = accessErrorDetails(accessCase);
        // The campaign query stays in front of the anchor, where the server sees it.
        EXPECT_EQ(d.readMoreAddress, readMore + s(anchor));
        EXPECT_EQ(d.settingsTarget.toString(QUrl::FullyEncoded),
                  s("https://brendix.example/lurkel/readme#troubleshooting-") + s(anchor + 1));
        EXPECT_TRUE(text.contains(s("<a id=\"troubleshooting-") + s(anchor + 1) + s("\">"))) << anchor;
    }
}

TEST(HiddenManagerLocalizable, DefaultsAndTranslations)
{
    const QString finderTitle =
        s("Lurkel could\u2019t switch hidden files visibility as the system requires a special permission");
    // A table for the language replaces the texts it has, and only those.
    const lurkel::BytePath folder = lurkel::test::TestEnvironment::root() / "strings";
    ASSERT_TRUE(lurkel::XdgDirs::makePath(folder / "de"));
    lurkel::test::writeFile(folder / "de/HiddenManagerLocalizable.json",
                            R"({"AccessNotGrantedForSystemEventsAutomation_Title": "Keine Berechtigung"})");
    lurkel::Localized::addSearchPath(folder.displayString());
    lurkel::Localized::setLanguages({s("de")});
    EXPECT_EQ(HiddenManagerLocalizable::accessNotGrantedForSystemEventsAutomationTitle(), s("Keine Berechtigung"));
    EXPECT_EQ(HiddenManagerLocalizable::accessNotGrantedForFinderAutomationTitle(), finderTitle);
    lurkel::Localized::setLanguages({s("en")});
    EXPECT_EQ(HiddenManagerLocalizable::accessNotGrantedForSystemEventsAutomationTitle(), finderTitle);
}
