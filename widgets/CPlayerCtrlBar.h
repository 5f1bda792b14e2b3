// The transport bar under the video: picture buttons, the volume and seek sliders and the
// status strip, painted double-buffered over a gradient. Button clicks become commands and
// slider moves user messages to the main window, which does the work; the bar keeps the volume
// position in the settings.
#pragma once

#include "widgets/CBitmapSlider.h"
#include "widgets/CLinkButton.h"
#include "widgets/CMuteButton.h"
#include "widgets/CPaintBox.h"
#include "widgets/CPlayerButton.h"
#include "widgets/CPushImageButton.h"
#include "widgets/CSeekSlider.h"
#include "widgets/CStatusDisplay.h"

#include <QWidget>

class CCommandSink;
class CMessageSink;
class CProfile;
class CGeneralSettings;

class CPlayerCtrlBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int VOLUME_SLIDER_ID = 256;
    static constexpr int SEEK_SLIDER_ID = 512;
    // The gradient leaves the status strip at the top on black.
    static constexpr int GRADIENT_TOP = 15;
    static constexpr int STATUS_HEIGHT = 14;
    // The seek slider takes the client width less this.
    static constexpr int SEEK_WIDTH_MARGIN = 165;

    CPlayerCtrlBar(CMessageSink &sink, CCommandSink &commands, CProfile &profile,
                   const CGeneralSettings &settings, QWidget *pParent = nullptr);
    // Writes the volume position back to the settings.
    ~CPlayerCtrlBar() override;

    // Called once the main window's panes exist (the framework's initial update): creates the
    // widgets and restores the volume, telling the main window once.
    void OnInitialUpdate();
    // The main window's 100 ms tick.
    void OnTimerTick();
    bool IsInitialized() const { return m_bInitialized; }

    // Fixed bitmaps of the push buttons.
    static const CPushImageButton::CPictures PLAY, PAUSE, STOP, PREVIOUS, NEXT;

    CPaintBox m_PaintBox;
    CPushImageButton m_btnPlay;
    CPushImageButton m_btnPause;
    CPushImageButton m_btnStop;
    CMuteButton m_btnMute;
    CPushImageButton m_btnPrev;
    CPushImageButton m_btnNext;
    CLinkButton m_btnLink;
    CPlayerButton m_btnPlayerA;
    CPlayerButton m_btnPlayerB;
    CSeekSlider m_SeekSlider;
    CBitmapSlider m_VolumeSlider;
    CStatusDisplay m_StatusDisplay;
    // Top of the volume slider's range; the main window keeps it equal to the volume range.
    int m_nVolumeRange = 3000;

protected:
    bool event(QEvent *pEvent) override;
    void paintEvent(QPaintEvent *pEvent) override;
    void resizeEvent(QResizeEvent *pEvent) override;
    void mousePressEvent(QMouseEvent *pEvent) override;
    void mouseReleaseEvent(QMouseEvent *pEvent) override;
    void mouseMoveEvent(QMouseEvent *pEvent) override;
    void leaveEvent(QEvent *pEvent) override;

private:
    void LoadSettings();
    void SaveSettings();
    CMessageSink &m_sink;
    CProfile &m_profile;
    bool m_bInitialized = false;
    // The buttons but the link, in the order they paint and hear the mouse.
    CImageButton *m_pButtons[8];
};
