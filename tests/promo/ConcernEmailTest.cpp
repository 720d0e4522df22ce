#include "ConcernEmail.h"

#include "TestEnvironment.h"

#include "QtPrinters.h"

#include <QUrlQuery>

#include <gtest/gtest.h>

using lurkel::ConcernEmail;
using lurkel::test::TestEnvironment;

namespace {

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

} // namespace

TEST(ConcernEmail, MailtoParsesBackToTheTextsAsWritten)
{
    // A name with the characters that would split a query if they were not escaped.
    const QUrl url = ConcernEmail::mailtoUrl(s("Lurkel"), s("1.2.3"), s("Debian & Co #1 = \"bookworm\"?"));
    ASSERT_TRUE(url.isValid());
    EXPECT_EQ(url.scheme(), s("mailto"));
    EXPECT_EQ(url.path(), s("support@brendix.example"));
    const QUrlQuery query(url);
    EXPECT_EQ(query.queryItems().size(), 2);
    EXPECT_EQ(query.queryItemValue(s("Subject"), QUrl::FullyDecoded), s("Lurkel Concern Report"));
    EXPECT_EQ(query.queryItemValue(s("body"), QUrl::FullyDecoded),
              s("\n\nSent from:\nLurkel v1.2.3\nDebian & Co #1 = \"bookworm\"?\n"));
    EXPECT_TRUE(
        url.toString(QUrl::FullyEncoded).startsWith(s("mailto:support@brendix.example?Subject=Lurkel%20Concern")));
}

TEST(ConcernEmail, OperatingSystemLineFromOsRelease)
{
    const lurkel::BytePath home = TestEnvironment::freshHome();
    const lurkel::BytePath etc = home / "os-release";
    const lurkel::BytePath lib = home / "lib-os-release";
    const QString missing = (home / "none").displayString();

    lurkel::test::writeFile(lib, "NAME=Fedora\nVERSION_ID=41\n");
    lurkel::test::writeFile(etc, "# comment\nNAME=\"Ubuntu\"\nPRETTY_NAME=\"Ubuntu 24.04 \\\"Noble\\\" LTS\"\n");
    EXPECT_EQ(ConcernEmail::operatingSystemLine(etc.displayString(), lib.displayString()),
              s("Ubuntu 24.04 \"Noble\" LTS"));
    // Missing /etc/os-release: the copy under /usr/lib, NAME and VERSION_ID without PRETTY_NAME.
    EXPECT_EQ(ConcernEmail::operatingSystemLine(missing, lib.displayString()), s("Fedora 41"));
    EXPECT_EQ(ConcernEmail::distributionName("PRETTY_NAME='Arch Linux'\n"), s("Arch Linux"));
    // Neither names a system: the kernel.
    lurkel::test::writeFile(etc, "ID=unknown\n");
    const QString kernel = ConcernEmail::operatingSystemLine(etc.displayString(), missing);
    EXPECT_TRUE(kernel.startsWith(s("Linux "))) << kernel.toStdString();
    EXPECT_GT(kernel.size(), 6);
}
