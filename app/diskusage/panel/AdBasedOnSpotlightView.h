#pragma once

#include "SiblingToolHandOff.h"

#include <QWidget>

#include <array>

class QLabel;

namespace lurkel {

class LinkButton;
class SvgTrackingButton;
class UrlOpener;

// A detail view of the disk-usage section (the junk, applications, large-and-old and
// duplicates views derive from it): back, the tabs to the other three, the category's title
// and figures, the button of the sibling tool that cleans it up (SiblingToolHandOff), and
// "Show Files", which lets the user review what was found.
//
// The base view has type 0 and never shows. prepareForAppearance() titles the tool button
// ("Open %@" when the tool runs or is installed, else "Get %@") and fills the figures: the
// title changes only then, never while the view is shown. Main thread only.
class AdBasedOnSpotlightView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 250;
    static constexpr int kHeight = 250;

    AdBasedOnSpotlightView(UrlOpener &urlOpener, QWidget *parent = nullptr);

    // The panel's states of the detail views (1 junk, 2 duplicates, 3 large and old,
    // 4 applications) and the view types (1 junk, 2 applications, 3 large and old,
    // 4 duplicates) are different numberings; 0 for anything else.
    static constexpr int viewTypeForState(int state)
    {
        constexpr int types[] = {0, 1, 4, 3, 2};
        return state >= 1 && state <= 4 ? types[state] : 0;
    }

    // The view type: 1 junk, 2 applications, 3 large and old, 4 duplicates (0: none).
    virtual int getType() const { return 0; }
    // A result is there to show.
    virtual bool isCanShow() const { return false; }
    void prepareForAppearance();
    // The tool button: activate, launch, or report and open the download page.
    void getAppPressed();
    // How an installed tool is started (SiblingToolHandOff::setLaunch); tests record it.
    void setLaunch(SiblingToolHandOff::Launch launch) { m_launch = std::move(launch); }

    // The short product name of the view type's tool.
    QString toolButtonName() const { return SiblingToolHandOff::buttonNameForType(getType()); }

    SvgTrackingButton *getAppButton() const { return m_getAppButton; }
    LinkButton *showFilesButton() const { return m_showFilesButton; }
    LinkButton *backButton() const { return m_backButton; }
    // The tabs to the detail views, by panel state 1-4 (junk, duplicates, large and old,
    // applications).
    LinkButton *tabButton(int state) const;
    QLabel *titleLabel() const { return m_titleLabel; }
    QLabel *subtitleLabel() const { return m_subtitleLabel; }
    QLabel *totalLabel() const { return m_totalLabel; }
    // The value of a figure row (0 first).
    QLabel *rowValue(int row) const;
    QLabel *rowCaption(int row) const;

Q_SIGNALS:
    void backPressed();
    void showFilesPressed();
    void tabPressed(int state);

protected:
    // A size as the panel shows it ("2.3 GB").
    static QString sizeText(std::uint64_t size);
    // The subclass's figures.
    virtual void fillLabels() {}
    // Sets up the static texts; subclasses call it from their constructors.
    void setTexts(const QString &title, const QString &subtitle, const std::array<QString, 3> &captions);
    void paintEvent(QPaintEvent *event) override;

private:
    UrlOpener &m_urlOpener;
    SiblingToolHandOff::Launch m_launch = &SiblingToolHandOff::launchWithGio;
    LinkButton *m_backButton = nullptr;
    std::array<LinkButton *, 4> m_tabs{};
    QLabel *m_titleLabel = nullptr;
    QLabel *m_totalLabel = nullptr;
    QLabel *m_subtitleLabel = nullptr;
    std::array<QLabel *, 3> m_captions{};
    std::array<QLabel *, 3> m_values{};
    SvgTrackingButton *m_getAppButton = nullptr;
    LinkButton *m_showFilesButton = nullptr;
};

} // namespace lurkel
