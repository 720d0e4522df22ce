#pragma once

#include <QAbstractButton>
#include <QString>

namespace lurkel {

class RateDialogView;

// One of the rate dialog's five stars: it tells its dialog when the mouse enters or leaves
// it, and draws the image the dialog chose for it ("rate_dialog_star_gold" filled,
// "rate_dialog_star_empty" not).
class RateStarButton : public QAbstractButton {
    Q_OBJECT

public:
    static inline constexpr const char kGoldImage[] = "rate_dialog_star_gold";
    static inline constexpr const char kEmptyImage[] = "rate_dialog_star_empty";

    explicit RateStarButton(RateDialogView *rateDialog, QWidget *parent = nullptr);

    QString imageName() const { return m_imageName; }
    void setImageName(const QString &name);
    bool isFilled() const { return m_imageName == QLatin1String(kGoldImage); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    RateDialogView *m_pRateDialog;
    QString m_imageName = QString::fromLatin1(kEmptyImage);
};

} // namespace lurkel
