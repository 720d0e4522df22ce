#pragma once

#include "FileQLItem.h"
#include "PreviewContent.h"

#include <QPointer>
#include <QThreadPool>
#include <QWidget>

#include <cstdint>

class QLabel;
class QPlainTextEdit;
class QStackedWidget;

namespace lurkel {

class QuickLookController;
class TrackingButton;

namespace preview_detail {
class ImageView;
class InfoView;
class ElidedLabel;
} // namespace preview_detail

// Lurkel's own preview window: a picture scaled to fit, the first 64 KiB of a text file,
// and for anything else the icon with name, kind, size and dates. It never takes the
// keyboard focus (a tool window that does not accept focus and shows without activating),
// so the window that opened it keeps the keys. Files are read on a worker thread through
// their byte paths; the type is looked up on the main thread, for the item shown only.
class PreviewWindow : public QWidget {
    Q_OBJECT

public:
    explicit PreviewWindow(QWidget *parent = nullptr);
    ~PreviewWindow() override;

    // The controller that feeds the window and hears its key events.
    QuickLookController *controller() const { return m_controller; }
    void setController(QuickLookController *controller);

    // Asks the controller again for the items; the index stays where it was when still
    // within range (and startAtFirst is not set), else goes back to the first item.
    void reloadData(bool startAtFirst = false);
    int currentPreviewItemIndex() const { return m_index; }
    // Out of range: ignored.
    void setCurrentPreviewItemIndex(int index);
    FileQLItemPtr currentPreviewItem() const;

    // Shows the window in front without activating it (centred on its parent window, or on
    // the screen, the first time); orderOut() hides it.
    void orderFront();
    void orderOut();

    // What is shown (or being loaded) now.
    const PreviewContent &content() const { return m_content; }
    bool isLoading() const { return m_content.kind == PreviewContent::Kind::Loading; }
    // Where the picture is drawn, in the coordinates of imageView().
    QRect displayedImageRect() const;
    QWidget *imageView() const;
    QPlainTextEdit *textView() const { return m_textView; }
    QWidget *currentView() const;
    QString detailText() const;

Q_SIGNALS:
    // A new item's content is on screen (after loading ends).
    void contentChanged();
    void currentPreviewItemIndexChanged(int index);
    void visibilityChanged(bool visible);

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void loadCurrentItem();
    void factsArrived(std::uint64_t generation, const PreviewFacts &facts);
    void imageArrived(std::uint64_t generation, const QImage &image, const QSize &originalSize);
    void showContent();
    void updateHeader();
    void applyColors();
    void placeFirstTime();
    QSize imageDecodeBound() const;

    QPointer<QuickLookController> m_controller;
    QPointer<QWidget> m_activeBeforeShow;
    int m_count = 0;
    int m_index = 0;
    bool m_needsLoad = true;
    bool m_placed = false;
    std::uint64_t m_generation = 0;
    PreviewContent m_content;
    BytePath m_loadingPath;
    BytePath m_shownPath;

    TrackingButton *m_previousButton = nullptr;
    TrackingButton *m_nextButton = nullptr;
    preview_detail::ElidedLabel *m_titleLabel = nullptr;
    QLabel *m_detailLabel = nullptr;
    QStackedWidget *m_stack = nullptr;
    QWidget *m_blankView = nullptr;
    preview_detail::ImageView *m_imageView = nullptr;
    QPlainTextEdit *m_textView = nullptr;
    preview_detail::InfoView *m_infoView = nullptr;

    // Declared last: destroyed first, after waiting for the reads still running.
    QThreadPool m_pool;
};

} // namespace lurkel
