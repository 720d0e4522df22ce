#include "AccessErrorAlert.h"
#include "EventWait.h"
#include "InformationAboutAccessAlertsWC.h"
#include "MainWindowProvider.h"
#include "PromoSettings.h"
#include "RecordingUrlOpener.h"
#include "UserDefaults.h"

#include "QtPrinters.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace lurkel;

namespace {

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

const QString kGettingStarted =
    s("https://brendix.example/lurkel/getting-started?utm_source=Lurkel&utm_medium=from%20app");

class AccessAlertsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UserDefaults defaults(s("com.brendix.Lurkel-SII.alerts-test"));
        PromoSettings::reloadFromDefaults(defaults); // the maker's own host
        window = std::make_unique<QWidget>();
        window->resize(400, 300);
        window->show();
    }

    void TearDown() override
    {
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static void click(QPushButton *button)
    {
        ASSERT_NE(button, nullptr);
        ASSERT_TRUE(button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
    }

    std::unique_ptr<QWidget> window;
    FunctionMainWindowProvider provider{[this] { return window.get(); }};
    FunctionMainWindowProvider noWindow{[] { return nullptr; }};
    test::RecordingUrlOpener opener;
    std::vector<bool> answers;
    std::function<void(bool)> recordAnswer = [this](bool granted) { answers.push_back(granted); };
};

TEST_F(AccessAlertsTest, InformationSheetReadMoreKeepsItOpenAndTheButtonsAnswer)
{
    // No window: nothing shown, no completion; a sheet never begun does not end.
    EXPECT_EQ(InformationAboutAccessAlertsWC::display(noWindow, opener, recordAnswer), nullptr);
    EXPECT_EQ(InformationAboutAccessAlertsWC::current(), nullptr);
    InformationAboutAccessAlertsWC loose(opener);
    bool finished = false;
    QObject::connect(&loose, &QDialog::finished, [&finished] { finished = true; });
    loose.endSheet(1000);
    EXPECT_FALSE(finished);
    EXPECT_EQ(loose.result(), 0);

    InformationAboutAccessAlertsWC *sheet = InformationAboutAccessAlertsWC::display(provider, opener, recordAnswer);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(InformationAboutAccessAlertsWC::current(), sheet);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->parentWidget(), window.get());
    EXPECT_FALSE(sheet->preferencesIcon()->pixmap().isNull());
    // The fallback for icon themes without "preferences-system" is there and draws.
    EXPECT_FALSE(QIcon(s(":/access-alerts/preferences-system.svg")).pixmap(64, 64).isNull());
    // One at a time: a second request is refused and never answered.
    std::vector<bool> secondAnswers;
    EXPECT_EQ(InformationAboutAccessAlertsWC::display(provider, opener,
                                                      [&secondAnswers](bool g) { secondAnswers.push_back(g); }),
              nullptr);
    EXPECT_EQ(InformationAboutAccessAlertsWC::current(), sheet);

    click(sheet->readMoreButton());
    EXPECT_EQ(opener.openedAddresses(), QStringList{kGettingStarted});
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(answers.empty());
    click(sheet->grantAccessButton());
    EXPECT_EQ(answers, std::vector<bool>{true});
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(sheet->result(), InformationAboutAccessAlertsWC::kGrantAccessReturnCode);
    EXPECT_EQ(InformationAboutAccessAlertsWC::current(), nullptr);

    sheet = InformationAboutAccessAlertsWC::display(provider, opener, recordAnswer);
    ASSERT_NE(sheet, nullptr);
    click(sheet->cancelButton());
    EXPECT_EQ(sheet->result(), InformationAboutAccessAlertsWC::kCancelReturnCode);
    sheet = InformationAboutAccessAlertsWC::display(provider, opener, recordAnswer);
    ASSERT_NE(sheet, nullptr);
    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_FALSE(sheet->isVisible());
    test::drainMainQueue();
    EXPECT_EQ(answers, std::vector<bool>({true, false, false}));
    EXPECT_TRUE(secondAnswers.empty());

    // The raw return codes, and a sheet ends only once.
    InformationAboutAccessAlertsWC own(opener);
    std::vector<int> codes;
    own.beginSheet(window.get(), [&codes](int code) { codes.push_back(code); });
    click(own.grantAccessButton());
    own.endSheet(1001);
    EXPECT_EQ(codes, std::vector<int>{1000});
    own.beginSheet(window.get(), [&codes](int code) { codes.push_back(code); });
    click(own.cancelButton());
    EXPECT_EQ(codes, std::vector<int>({1000, 1001}));
}

TEST_F(AccessAlertsTest, AccessErrorAlertPerCase)
{
    for (AccessErrorCase c :
         {AccessErrorCase::FinderAutomation, AccessErrorCase::SystemEventsAutomation, AccessErrorCase::Accessibility}) {
        const AccessErrorDetails details = accessErrorDetails(c);
        for (int response : {AccessErrorAlert::kOpenSettingsResponse, AccessErrorAlert::kReadMoreResponse}) {
            opener.opened.clear();
            AccessErrorAlert *alert = AccessErrorAlert::display(provider, opener, c);
            ASSERT_NE(alert, nullptr);
            EXPECT_EQ(alert->windowModality(), Qt::WindowModal);
            EXPECT_EQ(alert->parentWidget(), window.get());
            EXPECT_EQ(alert->text(), details.title);
            EXPECT_EQ(alert->informativeText(), details.message);

            // Escape answers nothing: the alert has no cancel button.
            QTest::keyClick(alert, Qt::Key_Escape);
            EXPECT_TRUE(alert->isVisible());
            EXPECT_EQ(alert->response(), 0);

            click(response == AccessErrorAlert::kOpenSettingsResponse ? alert->openSettingsButton()
                                                                      : alert->readMoreButton());
            EXPECT_EQ(alert->response(), response);
            EXPECT_FALSE(alert->isVisible());
            const QString expected = response == AccessErrorAlert::kOpenSettingsResponse
                                         ? details.settingsTarget.toString(QUrl::FullyEncoded)
                                         : kGettingStarted + details.anchor;
            EXPECT_EQ(opener.openedAddresses(), QStringList{expected});
        }
    }
    EXPECT_EQ(AccessErrorAlert::display(noWindow, opener, AccessErrorCase::Accessibility), nullptr);
}

} // namespace
