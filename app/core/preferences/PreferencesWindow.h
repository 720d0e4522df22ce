#pragma once

#include "MemoryPreferencesInterface.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QVariantAnimation;

namespace lurkel {

class OnOffSwitch;

// The preferences window: the controls and nothing behind them. Whoever owns the window fills
// the controls from the settings and listens to the signals, which come from the user's own
// clicks, drags and keys only; values set from code (setChecked(), setCurrentIndex(),
// setUsageLimit()) send nothing back. Closing the window only hides it.
class PreferencesWindow : public QWidget, public MemoryPreferencesInterface {
    Q_OBJECT

public:
    static constexpr int kDefaultBlinkDurationMs = 400;

    explicit PreferencesWindow(QWidget *parent = nullptr);

    // Launch at login; its title holds the application's name, so the owner sets it
    // (PreferencesWindowStrings::launchAtSystemStartup()).
    QCheckBox *btnPrefAutoStart() const { return m_autoStart; }
    QCheckBox *enableFinderIntegrationButton() const { return m_finderIntegration; }
    // Restart the file managers when the hidden files are switched.
    OnOffSwitch *enableForceSwitchHiddenVisibilityButton() const { return m_forceSwitch; }
    QCheckBox *btnPrefShowInfo() const { return m_showInfo; }
    QCheckBox *btnPrefPurgeAfterHugeAppQuit() const { return m_purgeAfterHugeAppQuit; }
    QCheckBox *btnPrefAutoFree() const { return m_autoFree; }
    // The usage limit in percent, 0..100; see usageLimit().
    QSlider *sldPrefMemUsage() const { return m_memUsage; }
    // The automatic-freeing intervals, in MemoryController's order.
    QComboBox *pupPrefFreq() const { return m_freq; }
    QLabel *txtPrefDesc() const { return m_desc; }
    // The panel style: compact, standard, detailed.
    QComboBox *m_visionComboBox() const { return m_vision; }

    // The usage limit as a fraction, 0..1, in whole percents.
    double usageLimit() const;
    void setUsageLimit(double limit);

    // MemoryPreferencesInterface
    void setAutoFreeControlsEnabled(bool enabled) override;
    void setPrefDescText(const QString &text) override;

    // Draws the eye to a window that is already open: fades to a quarter and back, each way
    // taking the blink duration. With a duration of 0 it does nothing.
    void blink();
    bool isBlinking() const;
    void setBlinkDurationMs(int ms);

Q_SIGNALS:
    void autoStartToggled(bool on);
    void finderIntegrationToggled(bool on);
    void forceSwitchToggled(int state); // 0 off, 1 on
    void showInfoToggled(bool on);
    void purgeAfterHugeAppQuitToggled(bool on);
    void autoFreeToggled(bool on);
    void memUsageChanged(double limit); // 0..1
    void freqChanged(int index);
    void visionIndexChanged(int index);

protected:
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void fitHeightToContents();

    QCheckBox *m_autoStart;
    QCheckBox *m_finderIntegration;
    OnOffSwitch *m_forceSwitch;
    QLabel *m_forceSwitchLabel;
    QCheckBox *m_showInfo;
    QComboBox *m_vision;
    QLabel *m_visionLabel;
    QCheckBox *m_purgeAfterHugeAppQuit;
    QCheckBox *m_autoFree;
    QSlider *m_memUsage;
    QLabel *m_memUsageLabel;
    QComboBox *m_freq;
    QLabel *m_freqLabel;
    QLabel *m_desc;
    QVariantAnimation *m_blink;
    int m_blinkMs = kDefaultBlinkDurationMs;
    // A user's action on the slider is under way: the value that follows is theirs.
    bool m_sliderActionPending = false;
};

} // namespace lurkel
