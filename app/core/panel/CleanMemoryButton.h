#pragma once

#include "CleanMemoryButtonInterface.h"
#include "SvgTrackingButton.h"

namespace lurkel {

// The clean-memory button of the panel: the image "btn_CleanMemory" (hovered
// "btn_CleanMemory_hover", pressed "btn_CleanMemory_click") with its title in dark blue.
// During a purge the memory controller turns its tracking off and fills the button from
// the left to the purge's progress, in the shape of "btn_CleanMemory_mask".
class CleanMemoryButton : public SvgTrackingButton, public CleanMemoryButtonInterface {
    Q_OBJECT

public:
    static inline constexpr const char kMainImage[] = "btn_CleanMemory";
    static inline constexpr const char kHoverImage[] = "btn_CleanMemory_hover";
    static inline constexpr const char kClickImage[] = "btn_CleanMemory_click";
    static inline constexpr const char kMaskImage[] = "btn_CleanMemory_mask";

    explicit CleanMemoryButton(QWidget *parent = nullptr);

    // CleanMemoryButtonInterface
    void beginProgressUpdate() override;
    void endProgressUpdate() override;
    void setProgess(float progress) override;
    void setTitle(const QString &title) override;
    void setEnabled(bool enabled) override;

    // The filled fraction while a purge runs (0 otherwise).
    float progress() const { return m_progress; }
    // The colour of the progress fill.
    static QColor progressColor();

protected:
    void paintOverImage(QPainter &painter) override;

private:
    float m_progress = 0.0f;
    bool m_showingProgress = false;
};

} // namespace lurkel
