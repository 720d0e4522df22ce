#include "PreviewWindow.h"

#include "Localized.h"
#include "NamedColors.h"
#include "QuickLookController.h"
#include "TrackingButton.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace lurkel {

namespace {

QString text(const char *key, const char *english)
{
    return Localized::string(QStringLiteral("QuickLook"), QString::fromLatin1(key), QString::fromUtf8(english));
}

constexpr int kImageMargin = 12;

} // namespace

namespace preview_detail {

// A one-line text that shortens itself in the middle when narrow.
class ElidedLabel final : public QWidget {
public:
    explicit ElidedLabel(QWidget *parent) : QWidget(parent) { setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed); }
    void setText(const QString &value)
    {
        m_text = value;
        setToolTip(value);
        update();
    }
    const QString &text() const { return m_text; }
    QSize sizeHint() const override { return {fontMetrics().horizontalAdvance(m_text), fontMetrics().height()}; }
    QSize minimumSizeHint() const override { return {0, fontMetrics().height()}; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(m_text, Qt::ElideMiddle, width()));
    }

private:
    QString m_text;
};

// The picture, scaled down to fit (never enlarged past its own size), centred.
class ImageView final : public QWidget {
public:
    explicit ImageView(QWidget *parent) : QWidget(parent) { setAutoFillBackground(true); }

    void setImage(const QImage &image, const QSize &naturalSize)
    {
        m_image = image;
        m_natural = naturalSize.isValid() ? naturalSize : image.size();
        m_scaled = QPixmap();
        update();
    }
    void clear() { setImage({}, {}); }

    QRect displayedRect() const
    {
        if (m_image.isNull()) return {};
        const QRect area = rect().adjusted(kImageMargin, kImageMargin, -kImageMargin, -kImageMargin);
        QSize size = m_natural;
        if (size.width() > area.width() || size.height() > area.height())
            size = size.scaled(area.size().expandedTo(QSize(1, 1)), Qt::KeepAspectRatio);
        size = size.expandedTo(QSize(1, 1));
        return {QPoint(area.center().x() - size.width() / 2 + 1, area.center().y() - size.height() / 2 + 1), size};
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (m_image.isNull()) return;
        const QRect target = displayedRect();
        const qreal ratio = devicePixelRatioF();
        const QSize device = (QSizeF(target.size()) * ratio).toSize();
        // Scaled once per size, smoothly; painting the cached copy keeps resizing fluid.
        if (m_scaled.isNull() || m_scaled.size() != device) {
            m_scaled = QPixmap::fromImage(m_image.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
            m_scaled.setDevicePixelRatio(ratio);
        }
        QPainter painter(this);
        painter.drawPixmap(target.topLeft(), m_scaled);
    }

private:
    QImage m_image;
    QSize m_natural;
    QPixmap m_scaled;
};

// The icon with name, kind, size and dates.
class InfoView final : public QWidget {
public:
    explicit InfoView(QWidget *parent) : QWidget(parent)
    {
        setAutoFillBackground(true);
        auto *outer = new QHBoxLayout(this);
        outer->setContentsMargins(24, 24, 24, 24);
        outer->setSpacing(24);
        outer->addStretch(1);
        m_icon = new QLabel(this);
        m_icon->setFixedSize(128, 128);
        m_icon->setAlignment(Qt::AlignCenter);
        outer->addWidget(m_icon, 0, Qt::AlignVCenter);

        auto *column = new QVBoxLayout;
        column->setSpacing(10);
        column->addStretch(1);
        m_name = new QLabel(this);
        m_name->setWordWrap(true);
        m_name->setTextFormat(Qt::PlainText);
        QFont nameFont = m_name->font();
        nameFont.setBold(true);
        nameFont.setPointSizeF(nameFont.pointSizeF() * 1.35);
        m_name->setFont(nameFont);
        column->addWidget(m_name);

        m_grid = new QGridLayout;
        m_grid->setHorizontalSpacing(12);
        m_grid->setVerticalSpacing(4);
        const char *captions[][2] = {{"kind", "Kind"},
                                     {"size", "Size"},
                                     {"created", "Created"},
                                     {"modified", "Modified"},
                                     {"lastOpened", "Last opened"}};
        for (int row = 0; row < kRows; ++row) {
            m_captions[row] = new QLabel(text(captions[row][0], captions[row][1]), this);
            m_captions[row]->setAlignment(Qt::AlignRight | Qt::AlignTop);
            m_values[row] = new QLabel(this);
            m_values[row]->setTextFormat(Qt::PlainText);
            m_values[row]->setWordWrap(true);
            m_grid->addWidget(m_captions[row], row, 0);
            m_grid->addWidget(m_values[row], row, 1);
        }
        m_grid->setColumnStretch(1, 1);
        column->addLayout(m_grid);
        m_error = new QLabel(this);
        m_error->setWordWrap(true);
        m_error->setTextFormat(Qt::PlainText);
        column->addWidget(m_error);
        column->addStretch(1);
        outer->addLayout(column, 3);
        outer->addStretch(1);
    }

    void setContent(const PreviewContent &content, qreal ratio)
    {
        m_icon->setPixmap(content.icon.pixmap(QSize(128, 128), ratio));
        m_name->setText(content.name);
        const QString values[kRows] = {content.kindText, content.sizeText, content.createdText, content.modifiedText,
                                       content.accessedText};
        for (int row = 0; row < kRows; ++row) {
            m_values[row]->setText(values[row]);
            m_captions[row]->setVisible(!values[row].isEmpty());
            m_values[row]->setVisible(!values[row].isEmpty());
        }
        m_error->setText(content.errorText);
        m_error->setVisible(!content.errorText.isEmpty());
    }

    void setSecondaryColor(const QColor &color)
    {
        for (QLabel *caption : m_captions) {
            QPalette pal = caption->palette();
            pal.setColor(QPalette::WindowText, color);
            caption->setPalette(pal);
        }
        QPalette pal = m_error->palette();
        pal.setColor(QPalette::WindowText, color);
        m_error->setPalette(pal);
    }

private:
    static constexpr int kRows = 5;
    QLabel *m_icon = nullptr;
    QLabel *m_name = nullptr;
    QGridLayout *m_grid = nullptr;
    QLabel *m_captions[kRows] = {};
    QLabel *m_values[kRows] = {};
    QLabel *m_error = nullptr;
};

} // namespace preview_detail

using preview_detail::ElidedLabel;
using preview_detail::ImageView;
using preview_detail::InfoView;

PreviewWindow::PreviewWindow(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowDoesNotAcceptFocus | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(text("windowTitle", "Preview"));
    m_pool.setMaxThreadCount(1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *header = new QWidget(this);
    auto *headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(8, 6, 10, 6);
    headerLayout->setSpacing(6);
    m_previousButton = new TrackingButton(QStringLiteral("previous"), QStringLiteral("previous_hover"),
                                          QStringLiteral("previous_click"), header);
    m_previousButton->setDrawsBackground(true);
    m_previousButton->setToolTip(text("previous", "Previous item"));
    m_nextButton =
        new TrackingButton(QStringLiteral("next"), QStringLiteral("next_hover"), QStringLiteral("next_click"), header);
    m_nextButton->setDrawsBackground(true);
    m_nextButton->setToolTip(text("next", "Next item"));
    m_titleLabel = new ElidedLabel(header);
    m_detailLabel = new QLabel(header);
    m_detailLabel->setTextFormat(Qt::PlainText);
    headerLayout->addWidget(m_previousButton);
    headerLayout->addWidget(m_nextButton);
    headerLayout->addWidget(m_titleLabel, 1);
    headerLayout->addWidget(m_detailLabel);
    layout->addWidget(header);

    m_stack = new QStackedWidget(this);
    m_blankView = new QWidget(m_stack);
    m_blankView->setAutoFillBackground(true);
    m_imageView = new ImageView(m_stack);
    m_textView = new QPlainTextEdit(m_stack);
    m_textView->setReadOnly(true);
    m_textView->setFrameShape(QFrame::NoFrame);
    m_textView->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_textView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_textView->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_textView->document()->setDocumentMargin(12);
    m_infoView = new InfoView(m_stack);
    m_stack->addWidget(m_blankView);
    m_stack->addWidget(m_imageView);
    m_stack->addWidget(m_textView);
    m_stack->addWidget(m_infoView);
    layout->addWidget(m_stack, 1);

    // Nothing in here may take the focus away from the window that opened the preview.
    for (QWidget *child : findChildren<QWidget *>())
        child->setFocusPolicy(Qt::NoFocus);

    connect(m_previousButton, &QAbstractButton::clicked, this, [this] { setCurrentPreviewItemIndex(m_index - 1); });
    connect(m_nextButton, &QAbstractButton::clicked, this, [this] { setCurrentPreviewItemIndex(m_index + 1); });

    applyColors();
    updateHeader();
    resize(720, 540);
}

PreviewWindow::~PreviewWindow()
{
    // The reads still running post to this window; let them end while it is whole.
    m_pool.waitForDone();
}

void PreviewWindow::setController(QuickLookController *controller)
{
    m_controller = controller;
    reloadData();
}

void PreviewWindow::reloadData(bool startAtFirst)
{
    const int count = m_controller ? m_controller->numberOfPreviewItemsInPreviewPanel(this) : 0;
    m_count = std::max(0, count);
    const int previous = m_index;
    if (startAtFirst || m_index >= m_count) m_index = 0;
    m_needsLoad = true;
    updateHeader();
    if (isVisible()) loadCurrentItem();
    if (m_index != previous) Q_EMIT currentPreviewItemIndexChanged(m_index);
}

void PreviewWindow::setCurrentPreviewItemIndex(int index)
{
    if (index < 0 || index >= m_count || index == m_index) return;
    m_index = index;
    m_needsLoad = true;
    updateHeader();
    if (isVisible()) loadCurrentItem();
    Q_EMIT currentPreviewItemIndexChanged(index);
}

FileQLItemPtr PreviewWindow::currentPreviewItem() const
{
    if (!m_controller || m_index >= m_count) return nullptr;
    return m_controller->previewPanelItemAtIndex(this, m_index);
}

void PreviewWindow::orderFront()
{
    QWidget *active = QApplication::activeWindow();
    if (active != nullptr && active != this) m_activeBeforeShow = active;
    if (!isVisible()) {
        placeFirstTime();
        show();
    }
    raise();
}

void PreviewWindow::orderOut()
{
    hide();
}

QRect PreviewWindow::displayedImageRect() const
{
    return m_imageView->displayedRect();
}

QWidget *PreviewWindow::imageView() const
{
    return m_imageView;
}

QWidget *PreviewWindow::currentView() const
{
    return m_stack->currentWidget();
}

QString PreviewWindow::detailText() const
{
    return m_detailLabel->text();
}

bool PreviewWindow::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate) {
        // Some platforms activate every window they show, whatever it asks for (Wayland
        // compositors, the offscreen platform): the activation goes straight back to the
        // window that had it, so its keys keep working.
        QWidget *back = m_activeBeforeShow ? m_activeBeforeShow.data() : nullptr;
        if (back == nullptr && parentWidget() != nullptr) back = parentWidget()->window();
        if (back != nullptr && back != this && back->isVisible()) back->activateWindow();
    }
    // Keys reach the window only where the desktop gave it the focus after all; they go to
    // the controller, as the keys of the window that opened the preview do.
    if (event->type() == QEvent::KeyPress && m_controller && m_controller->previewPanelHandleEvent(this, event)) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void PreviewWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_needsLoad) loadCurrentItem();
    Q_EMIT visibilityChanged(true);
}

void PreviewWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    Q_EMIT visibilityChanged(false);
}

void PreviewWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) applyColors();
}

void PreviewWindow::loadCurrentItem()
{
    m_needsLoad = false;
    const std::uint64_t generation = ++m_generation;
    const FileQLItemPtr item = currentPreviewItem();
    m_content = PreviewContent{};
    if (!item) {
        m_content.kind = PreviewContent::Kind::Info;
        m_loadingPath = BytePath();
        showContent();
        return;
    }
    m_content.name = item->previewItemTitle();
    m_loadingPath = item->mfilePath();
    // Another item's picture or text must not stand under this item's name meanwhile.
    if (m_loadingPath != m_shownPath) m_stack->setCurrentWidget(m_blankView);
    updateHeader();
    const BytePath path = m_loadingPath;
    m_pool.start([this, generation, path] {
        const PreviewFacts facts = PreviewLoader::readFacts(path);
        QMetaObject::invokeMethod(
            this, [this, generation, facts] { factsArrived(generation, facts); }, Qt::QueuedConnection);
    });
}

void PreviewWindow::factsArrived(std::uint64_t generation, const PreviewFacts &facts)
{
    if (generation != m_generation) return;
    const QMimeType type = PreviewLoader::mimeType(m_content.name, facts);
    PreviewLoader::describe(m_content, facts, type);
    const bool readable = facts.isRegular && facts.readError == 0;
    if (readable && PreviewLoader::isImageType(type) && facts.size <= PreviewLoader::kImageByteLimit) {
        const BytePath path = m_loadingPath;
        const QSize bound = imageDecodeBound();
        m_pool.start([this, generation, path, facts, bound] {
            QSize original;
            const QImage image = PreviewLoader::decodeImage(path, facts, bound, &original);
            QMetaObject::invokeMethod(
                this, [this, generation, image, original] { imageArrived(generation, image, original); },
                Qt::QueuedConnection);
        });
        return;
    }
    if (readable && PreviewLoader::isTextType(type, facts.head)) {
        m_content.kind = PreviewContent::Kind::Text;
        m_content.text = PreviewLoader::decodeText(facts.head);
        m_content.textTruncated = facts.truncated;
    } else {
        m_content.kind = PreviewContent::Kind::Info;
    }
    showContent();
}

void PreviewWindow::imageArrived(std::uint64_t generation, const QImage &image, const QSize &originalSize)
{
    if (generation != m_generation) return;
    if (image.isNull()) {
        // Named like a picture, but nothing Qt can decode: described instead.
        m_content.kind = PreviewContent::Kind::Info;
    } else {
        m_content.kind = PreviewContent::Kind::Image;
        m_content.image = image;
        m_content.imageSize = originalSize;
    }
    showContent();
}

void PreviewWindow::showContent()
{
    m_shownPath = m_loadingPath;
    switch (m_content.kind) {
    case PreviewContent::Kind::Loading:
        m_stack->setCurrentWidget(m_blankView);
        break;
    case PreviewContent::Kind::Image:
        m_imageView->setImage(m_content.image, m_content.imageSize);
        m_stack->setCurrentWidget(m_imageView);
        break;
    case PreviewContent::Kind::Text:
        m_imageView->clear();
        m_textView->setPlainText(m_content.text);
        m_stack->setCurrentWidget(m_textView);
        break;
    case PreviewContent::Kind::Info:
        m_imageView->clear();
        m_textView->clear();
        m_infoView->setContent(m_content, devicePixelRatioF());
        m_stack->setCurrentWidget(m_count > 0 ? static_cast<QWidget *>(m_infoView) : m_blankView);
        break;
    }
    updateHeader();
    Q_EMIT contentChanged();
}

void PreviewWindow::updateHeader()
{
    const bool several = m_count > 1;
    m_previousButton->setVisible(several);
    m_nextButton->setVisible(several);
    m_previousButton->setEnabled(m_index > 0);
    m_nextButton->setEnabled(m_index + 1 < m_count);

    const FileQLItemPtr item = currentPreviewItem();
    const QString title = item ? item->previewItemTitle() : QString();
    m_titleLabel->setText(title);
    setWindowTitle(title.isEmpty() ? text("windowTitle", "Preview") : title);

    QStringList details;
    if (m_content.kind == PreviewContent::Kind::Image && m_content.imageSize.isValid()) {
        details.append(
            QStringLiteral("%1 \u00d7 %2").arg(m_content.imageSize.width()).arg(m_content.imageSize.height()));
    }
    if (m_content.kind == PreviewContent::Kind::Text && m_content.textTruncated) {
        details.append(text("firstPart", "First 64 KB shown"));
    }
    if (several) details.append(text("counter", "%1 of %2").arg(m_index + 1).arg(m_count));
    m_detailLabel->setText(details.join(QStringLiteral("  \u00b7  ")));
}

void PreviewWindow::applyColors()
{
    const QPalette base = palette();
    QPalette body = base;
    const QColor background = NamedColors::color(NamedColor::PreviewBackground, base);
    const QColor foreground = NamedColors::color(NamedColor::PreviewText, base);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        body.setColor(group, QPalette::Window, background);
        body.setColor(group, QPalette::Base, background);
        body.setColor(group, QPalette::WindowText, foreground);
        body.setColor(group, QPalette::Text, foreground);
    }
    m_stack->setPalette(body);
    m_infoView->setSecondaryColor(NamedColors::color(NamedColor::SecondaryText, base));
    QPalette detail = m_detailLabel->palette();
    detail.setColor(QPalette::WindowText, NamedColors::color(NamedColor::SecondaryText, base));
    m_detailLabel->setPalette(detail);
}

void PreviewWindow::placeFirstTime()
{
    if (m_placed) return;
    m_placed = true;
    QWidget *anchor = parentWidget() ? parentWidget()->window() : nullptr;
    QScreen *screen = anchor ? anchor->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect available = screen->availableGeometry();
    const QSize size = this->size().boundedTo(available.size() * 0.8);
    resize(size);
    const QPoint centre = (anchor && anchor->isVisible()) ? anchor->frameGeometry().center() : available.center();
    QRect frame(QPoint(0, 0), size);
    frame.moveCenter(centre);
    frame.moveLeft(
        std::clamp(frame.left(), available.left(), std::max(available.left(), available.right() - size.width())));
    frame.moveTop(
        std::clamp(frame.top(), available.top(), std::max(available.top(), available.bottom() - size.height())));
    move(frame.topLeft());
}

QSize PreviewWindow::imageDecodeBound() const
{
    // Never larger than the screen can show: decoding a huge picture at full size would
    // only cost memory.
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return {4096, 4096};
    return (QSizeF(screen->size()) * screen->devicePixelRatio()).toSize().expandedTo(QSize(256, 256));
}

} // namespace lurkel
