// The about box: its texts, the copyright's year and the two links.
#include "AboutWC.h"

#include "LinkButton.h"
#include "ManualClock.h"
#include "PromoManager.h"
#include "RecordingUrlOpener.h"

#include "QtPrinters.h"

#include <QLabel>

#include <gtest/gtest.h>

namespace lurkel::test {
namespace {

QDateTime inYear(int year)
{
    return QDateTime(QDate(year, 6, 1), QTime(12, 0), Qt::UTC);
}

TEST(AboutWC, TextsAndLinks)
{
    ManualClock clock;
    RecordingUrlOpener opener;
    AboutWC about(opener, clock);
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Lurkel"));
    EXPECT_EQ(about.logoLabel()->text(), QStringLiteral("Lurkel"));
    EXPECT_EQ(about.versionLabel()->text(),
              QStringLiteral("Version %1 (%2)").arg(PromoManager::getAppVersion(), PromoManager::getAppBuildVersion()));
    EXPECT_TRUE(about.extraProductLabel()->isHidden());
    EXPECT_FALSE(about.copyrightLabel()->text().isEmpty());

    about.moreAppsButton()->click();
    about.brendixLinkButton()->click();
    EXPECT_EQ(opener.openedAddresses(),
              QStringList({QStringLiteral("https://brendix.example/products/?utm_source=Lurkel&utm_medium=from%20app"),
                           QStringLiteral("https://brendix.example/?utm_source=Lurkel&utm_medium=from%20app")}));
}

TEST(AboutWC, CopyrightEndsInThisYearButNotBefore2020)
{
    EXPECT_EQ(AboutWC::builtInCopyright(inYear(2019)),
              QStringLiteral("Copyright © 2020 Brendix. All rights reserved."));
    EXPECT_EQ(AboutWC::builtInCopyright(inYear(2031)),
              QStringLiteral("Copyright © 2020–2031 Brendix. All rights reserved."));
    // The build's own line wins; without one the built-in text is used.
    EXPECT_EQ(AboutWC::copyrightText(QStringLiteral("© Someone"), inYear(2031)), QStringLiteral("© Someone"));
    EXPECT_EQ(AboutWC::copyrightText(QString(), inYear(2031)), AboutWC::builtInCopyright(inYear(2031)));
}

} // namespace
} // namespace lurkel::test
