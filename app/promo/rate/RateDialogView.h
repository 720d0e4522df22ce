#pragma once

#include "ConcernEmail.h"
#include "MainQueue.h"

#include <QDateTime>
#include <QWidget>

#include <cstdint>

class QLabel;

namespace lurkel {

class Clock;
class RateStarButton;
class UrlOpener;
class UserDefaults;

// What the rate dialog works with; the process's own by default.
struct RateDialogServices {
    UserDefaults &defaults; // the bookkeeping and the cleaned size
    UrlOpener &urlOpener;   // the concern report and the review page
    Clock &clock;           // hover timing and the bookkeeping's dates
    // Where the concern report reads the distribution's name.
    QString osReleasePath = QString::fromLatin1(ConcernEmail::kOsReleasePath);

    // The standard defaults, the desktop's opener and the process clock.
    static RateDialogServices process();
};

// The rate dialog's content: the title in the top band, the invitation with the program's
// name in bold, five stars and the total cleaned so far (hidden while nothing was cleaned).
// The mouse over a star fills it and the ones before it; leaving the stars empties them
// 0.1 s later unless the mouse entered another star meanwhile. A press on a star below
// four sends the user to a concern report by e-mail, four or five to the review page; then
// the star is remembered as clicked and closeRequested() asks the window to close.
class RateDialogView : public QWidget {
    Q_OBJECT

public:
    static inline constexpr int kTopBandHeight = 28;
    static inline constexpr int kShadowHeight = 3;
    static inline constexpr std::int64_t kResetDelayMs = 100;

    explicit RateDialogView(const RateDialogServices &services, QWidget *parent = nullptr);

    // 1-5 for the five stars, 0 for anything else.
    int getCountStarsFromButton(const QObject *button) const;
    void fillStars(int count);
    void fillStarButton(RateStarButton *button, int starsCount);
    void onMouseEnteredButton(RateStarButton *button);
    void onMouseExitButton(RateStarButton *button);
    void onButtonPressed(QObject *sender);
    void onRatedGood();
    void onRatedBad();

    static QString replaceTag(const QString &tag, const QString &source, const QString &value);
    static QString replaceAppNameTagInSource(const QString &source, const QString &name);
    static QString replaceVersionTagInSource(const QString &source, const QString &version);
    // The two texts with bold parts, as label rich text.
    static QString firstTextWithBoldName(const QString &appName);
    static QString cleanInformationText(std::uint64_t cleanedSize);

    QLabel *titleLabel() const { return m_pTitleLabel; }
    QLabel *deservesLabel() const { return m_pDeservesLabel; }
    QLabel *firstTextPartLabel() const { return m_pFirstTextPartLabel; }
    QLabel *cleanInformationLabel() const { return m_pCleanInformationLabel; }
    RateStarButton *starButton(int stars) const; // 1-5

Q_SIGNALS:
    void closeRequested();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void awakeFromNib(const QString &appName, const QString &version);

    RateDialogServices m_services;
    QLabel *m_pTitleLabel = nullptr;
    QLabel *m_pDeservesLabel = nullptr;
    QLabel *m_pFirstTextPartLabel = nullptr;
    QLabel *m_pCleanInformationLabel = nullptr;
    RateStarButton *m_pOneStarButton = nullptr;
    RateStarButton *m_pTwoStarsButton = nullptr;
    RateStarButton *m_pThreeStarsButton = nullptr;
    RateStarButton *m_pFourStarsButton = nullptr;
    RateStarButton *m_pFiveStarsButton = nullptr;
    QDateTime m_pMouseEnterDate;
    // Counts entries into stars, so that a reset scheduled at a leave can tell whether a
    // star was entered after it, even within the same clock tick.
    std::uint64_t m_enterCount = 0;
    DelayedCall m_pendingReset;
};

} // namespace lurkel
