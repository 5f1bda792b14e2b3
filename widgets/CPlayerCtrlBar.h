// The transport bar under the video: picture buttons, the volume and seek sliders and the
// status strip, painted double-buffered over a gradient. Button clicks and slider moves become
// commands; the bar shows what the show tells it (CShowDisplay).
#pragma once

#include "core/CShowDisplay.h"
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
class CGeneralSettings;

class CPlayerCtrlBar : public QWidget, public CShowDisplay {
    Q_OBJECT
public:
    static constexpr int VOLUME_SLIDER_ID = 256;
    static constexpr int SEEK_SLIDER_ID = 512;
    // The gradient leaves the status strip at the top on black.
    static constexpr int GRADIENT_TOP = 15;
    static constexpr int STATUS_HEIGHT = 14;
    // The seek slider takes the client width less this.
    static constexpr int SEEK_WIDTH_MARGIN = 165;

    CPlayerCtrlBar(CCommandSink &commands, const CGeneralSettings &settings,
                   QWidget *pParent = nullptr);
    ~CPlayerCtrlBar() override;

    // Called once the main window's panes exist (the framework's initial update): creates the
    // widgets; the volume slider stands at full until the show tells it otherwise.
    void OnInitialUpdate();
    // The main window's 100 ms tick.
    void OnTimerTick() override;
    bool IsInitialized() const { return m_bInitialized; }

    // Fixed bitmaps of the push buttons.
    static const CPushImageButton::CPictures PLAY, PAUSE, STOP, PREVIOUS, NEXT;

    // What the controller shows and reads; UI thread.
    int GetVolumeRange() const { return m_nVolumeRange; }
    // The volume slider runs 0..nRange; a new range puts its thumb at the top. The players'
    // volume is not changed here.
    void SetVolumeRange(int nRange) override;
    // A position outside the range, or while the operator holds the thumb, is refused.
    void ShowVolumePosition(int64_t nPos) override;
    // The seek slider's position, or -1 while it has none.
    int64_t GetSeekPosition() const { return m_SeekSlider.GetPos(); }
    // The seek slider covers nDuration ms (0: no length, the thumb at the start).
    void ShowSeekPosition(int64_t nPosition, int64_t nDuration) override;
    void EnableSeek(bool bEnabled) override { m_SeekSlider.SetEnabled(bEnabled); }
    // The status strip: the state symbol, the message (the title) and the time.
    void ShowPlayState(int nState) override { m_StatusDisplay.SetPlayState(nState); }
    void ShowMessage(const QString &strMessage) override { m_StatusDisplay.SetMessage(strMessage); }
    void ShowTime(int64_t nPosition, int64_t nDuration) override;
    // The player buttons: the active player's is pressed.
    void ShowActivePlayer(int nPlayer) override;
    // The mute button's picture, for a mute set by any input.
    void ShowMute(bool bMuted) override { m_btnMute.SetMuted(bMuted); }
    // What opens the maker's address: the desktop's browser unless another is given.
    void SetUrlOpener(std::function<void(const QUrl &)> opener);

    // The parts as they stand, for whoever has to find or read one.
    enum Button {
        BTN_PLAY,
        BTN_PAUSE,
        BTN_STOP,
        BTN_MUTE,
        BTN_PLAYER_A,
        BTN_PLAYER_B,
        BTN_PREVIOUS,
        BTN_NEXT,
        BTN_LINK
    };
    const CImageButton &GetButton(Button button) const;
    const CBitmapSlider &GetVolumeSlider() const { return m_VolumeSlider; }
    const CSeekSlider &GetSeekSlider() const { return m_SeekSlider; }
    const CStatusDisplay &GetStatusDisplay() const { return m_StatusDisplay; }

protected:
    bool event(QEvent *pEvent) override;
    void paintEvent(QPaintEvent *pEvent) override;
    void resizeEvent(QResizeEvent *pEvent) override;
    void mousePressEvent(QMouseEvent *pEvent) override;
    void mouseReleaseEvent(QMouseEvent *pEvent) override;
    void mouseMoveEvent(QMouseEvent *pEvent) override;
    void leaveEvent(QEvent *pEvent) override;

private:
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
    CCommandSink &m_commands;
    bool m_bInitialized = false;
    // The buttons but the link, in the order of Button: the order they paint and hear the
    // mouse.
    CImageButton *m_pButtons[8];
};
