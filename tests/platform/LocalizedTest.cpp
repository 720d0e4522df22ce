#include "Localized.h"
#include "TestEnvironment.h"
#include "XdgDirs.h"

#include <gtest/gtest.h>

using namespace lurkel;

TEST(Localized, TranslationWhenPresentDefaultOtherwise)
{
    const BytePath root = test::TestEnvironment::root() / "i18n";
    XdgDirs::makePath(root / "de");
    XdgDirs::makePath(root / "fr");
    test::writeFile(root / "de/PanelWindow.json", R"({"title": "Titel", "broken": 3})");
    test::writeFile(root / "fr/PanelWindow.json", R"({"title": "Titre", "other": "Autre"})");
    Localized::addSearchPath(root.displayString());

    Localized::setLanguages({QStringLiteral("de_AT"), QStringLiteral("de"), QStringLiteral("fr")});
    EXPECT_EQ(Localized::string(QStringLiteral("PanelWindow"), QStringLiteral("title"), QStringLiteral("Title")),
              QStringLiteral("Titel"));
    // falls through the languages in order, then to the default
    EXPECT_EQ(Localized::string(QStringLiteral("PanelWindow"), QStringLiteral("other"), QStringLiteral("Other")),
              QStringLiteral("Autre"));
    EXPECT_EQ(Localized::string(QStringLiteral("PanelWindow"), QStringLiteral("broken"), QStringLiteral("Fine")),
              QStringLiteral("Fine"));
    EXPECT_EQ(Localized::string(QStringLiteral("NoTable"), QStringLiteral("title"), QStringLiteral("Title")),
              QStringLiteral("Title"));
    Localized::setLanguages({QStringLiteral("en")});
    EXPECT_EQ(Localized::string(QStringLiteral("PanelWindow"), QStringLiteral("title"), QStringLiteral("Title")),
              QStringLiteral("Title"));
}
