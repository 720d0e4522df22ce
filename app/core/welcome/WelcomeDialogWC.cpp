#include "WelcomeDialogWC.h"

#include "FramelessWindowChrome.h"
#include "Identity.h"
#include "Localized.h"
#include "PanelImages.h"
#include "SvgTrackingButton.h"
#include "WelcomeDialogView.h"
#include "WelcomeDialogWindow.h"

#include <QGuiApplication>
#include <QLabel>

namespace lurkel {
namespace {

QString text(const char *key, const char *defaultText)
{
    initPanelResources();
    return Localized::string(QLatin1String(WelcomeDialogWC::kTable), QString::fromLatin1(key),
                             QString::fromUtf8(defaultText));
}

QLabel *makeText(QWidget *parent, const QString &content, int pixels, QFont::Weight weight)
{
    auto *label = new QLabel(content, parent);
    QFont font = QGuiApplication::font();
    font.setPixelSize(pixels);
    font.setWeight(weight);
    label->setFont(font);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

WelcomeDialogWC::WelcomeDialogWC(QObject *parent) : QObject(parent), m_window(std::make_unique<WelcomeDialogWindow>())
{
    initPanelResources();
    WelcomeDialogView *view = m_window->view();
    const QRect card = WelcomeDialogView::kCardRect;

    m_closeButton = new SvgTrackingButton(view);
    m_closeButton->setSvgImages(QStringLiteral("btn_red"), QStringLiteral("btn_red_select"));
    m_closeButton->setTrackingEnabled(true);
    m_closeButton->setGeometry(card.left() + 10, card.top() + 10, 14, 14);
    m_closeButton->setToolTip(tr("Close"));
    connect(m_closeButton, &QAbstractButton::clicked, this, &WelcomeDialogWC::closeButtonPressed);
    connect(m_window.get(), &WelcomeDialogWindow::escapePressed, this, &WelcomeDialogWC::closeButtonPressed);

    const int left = card.left() + 22;
    const int width = card.width() - 44;
    m_welcomeLabel = makeText(view, titleText(), 19, QFont::DemiBold);
    m_welcomeLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_welcomeLabel->setGeometry(card.left() + 30, card.top() + 22, card.width() - 60, 30);
    m_welcomeText1 = makeText(view, welcomeText1(), 13, QFont::Medium);
    m_welcomeText1->setGeometry(left, card.top() + 66, width, 54);
    m_welcomeText2 = makeText(view, welcomeText2(), 13, QFont::Normal);
    m_welcomeText2->setGeometry(left, card.top() + 128, width, 72);
    m_welcomeText3 = makeText(view, welcomeText3(), 13, QFont::Normal);
    m_welcomeText3->setGeometry(left, card.top() + 206, width, 72);
}

WelcomeDialogWC::~WelcomeDialogWC() = default;

bool WelcomeDialogWC::isWindowVisible() const
{
    return m_window->isVisible();
}

void WelcomeDialogWC::setParentController(std::function<void()> showMainWindowAndMakeActive)
{
    m_parentController = std::move(showMainWindowAndMakeActive);
}

void WelcomeDialogWC::setStopModal(std::function<void()> stopModal)
{
    m_stopModal = std::move(stopModal);
}

void WelcomeDialogWC::showAt(const PanelPlacement::Result &placement)
{
    WelcomeDialogView *view = m_window->view();
    // The arrow only where the window hangs under a known place (the icon, or the click
    // that opened it); above it or at the screen's corner it would point at nothing.
    view->setArrowShown(placement.arrowX.has_value());
    if (placement.arrowX) view->setArrowX(*placement.arrowX);
    QPoint topLeft = placement.topLeft;
    // Nothing to point at: the card itself goes into the corner, the arrow's empty room
    // above it off the screen.
    if (placement.kind == PanelPlacement::Kind::TopRightCorner)
        topLeft.ry() += PanelPlacement::kGap - WelcomeDialogView::kCardRect.top();
    m_window->move(topLeft);
    m_window->chrome()->prepareToShow();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    view->arrowFirstAppearanceAnimation();
}

void WelcomeDialogWC::closeButtonPressed()
{
    m_window->view()->stopArrowAnimation();
    m_window->close();
    if (m_stopModal) m_stopModal();
    if (m_parentController) m_parentController();
}

QString WelcomeDialogWC::titleLabelPrefix()
{
    return text("Title_Label_Prefix", "");
}

QString WelcomeDialogWC::titleText()
{
    return titleLabelPrefix() + QString::fromLatin1(Identity::kBundleDisplayName);
}

QString WelcomeDialogWC::welcomeText1()
{
    return text("Welcome_text_1", "Lurkel lives in the tray of your desktop's panel. Click its icon to open Lurkel.");
}

QString WelcomeDialogWC::welcomeText2()
{
    return text("Welcome_text_2", "One switch shows or hides hidden files in your file manager. The search field "
                                  "finds files by name anywhere under a folder, hidden ones included.");
}

QString WelcomeDialogWC::welcomeText3()
{
    return text("Welcome_text_3", "See how much memory is in use and free some with one click. On GNOME, tray "
                                  "icons need the AppIndicator extension.");
}

} // namespace lurkel
