#include "widgets/CPlayerCtrlBar.h"

#include "core/CCommandSink.h"
#include "core/CGeneralSettings.h"
#include "core/CProfile.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QToolTip>

const CPushImageButton::CPictures CPlayerCtrlBar::PLAY = {134, 139, 140};
const CPushImageButton::CPictures CPlayerCtrlBar::PAUSE = {136, 142, 138};
const CPushImageButton::CPictures CPlayerCtrlBar::STOP = {135, 141, 137};
const CPushImageButton::CPictures CPlayerCtrlBar::PREVIOUS = {160, 164, 162};
const CPushImageButton::CPictures CPlayerCtrlBar::NEXT = {161, 165, 163};

namespace {
const QColor kGradientTop(65, 119, 227);
const QColor kGradientBottom(0, 0, 96);
} // namespace

namespace {
// The operator's volume slider at a position, as a command.
CCommand VolumeAt(int64_t nPos) {
    return CCommand(CCommand::Volume{CCommand::Player::Active(), CCommand::Volume::Scale::Level,
                                     static_cast<int32_t>(nPos)});
}
} // namespace

CPlayerCtrlBar::CPlayerCtrlBar(CCommandSink &commands, const CGeneralSettings &settings,
                               QWidget *pParent)
    : QWidget(pParent), m_btnPlay(commands, PLAY, CCommand::Play{}),
      m_btnPause(commands, PAUSE, CCommand::Pause{}), m_btnStop(commands, STOP, CCommand::Stop{}),
      m_btnMute(commands), m_btnPrev(commands, PREVIOUS, CCommand::Step{-1}),
      m_btnNext(commands, NEXT, CCommand::Step{1}), m_btnPlayerA(commands, 0),
      m_btnPlayerB(commands, 1), m_SeekSlider([this](int64_t nPos) {
          m_commands.Execute(CCommand(CCommand::Seek{CCommand::Player::Active(), nPos}));
      }),
      m_VolumeSlider([this](int64_t nPos) { m_commands.Execute(VolumeAt(nPos)); }),
      m_commands(commands), m_pButtons{&m_btnPlay,    &m_btnPause,   &m_btnStop, &m_btnMute,
                                       &m_btnPlayerA, &m_btnPlayerB, &m_btnPrev, &m_btnNext} {
    // The main window copies the volume range in before the initial update; starting from
    // the settings keeps the first volume right even if that copy comes late.
    if (settings.GetVolumeMin() > 0)
        m_nVolumeRange = settings.GetVolumeMin();
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

CPlayerCtrlBar::~CPlayerCtrlBar() = default;

void CPlayerCtrlBar::OnInitialUpdate() {
    if (m_bInitialized)
        return;
    const QRect rcClient = rect();
    m_PaintBox.Init();

    m_btnPlay.Create(this, 5, 30);
    m_btnPause.Create(this, 35, 30);
    m_btnStop.Create(this, 65, 30);
    // Its picture is 22 pixels wide: from here it ends a pixel short of the volume thumb at
    // zero (x 165), so a click there never both mutes and sets the volume.
    m_btnMute.Create(this, 142, 44);
    m_btnPrev.Create(this, 290, 44);
    m_btnNext.Create(this, 320, 44);
    m_btnPlayerA.Create(this, 375, 36);
    m_btnPlayerB.Create(this, 405, 36);
    m_btnLink.Create(this, 600, 37);
    m_btnLink.OnParentSize(0, rcClient.width(), rcClient.height());

    m_btnPlay.SetToolTip(QStringLiteral("Play"));
    m_btnPause.SetToolTip(QStringLiteral("Pause"));
    m_btnStop.SetToolTip(QStringLiteral("Stop"));
    m_btnMute.SetToolTip(QStringLiteral("Toggle Mute"));
    m_btnPrev.SetToolTip(QStringLiteral("Previous Track"));
    m_btnNext.SetToolTip(QStringLiteral("Next Track"));
    m_btnPlayerA.SetToolTip(QStringLiteral("Switch to Player A"));
    m_btnPlayerB.SetToolTip(QStringLiteral("Switch to Player B"));
    m_btnLink.SetToolTip(QString::fromLatin1(CLinkButton::MAKER_URL));
    m_btnPlayerA.SetCheck(true);

    m_VolumeSlider.Create(VOLUME_SLIDER_ID, QRect(170, 47, 80, 7), this, true);
    m_VolumeSlider.SetRange(m_nVolumeRange);
    m_VolumeSlider.SetPos(m_nVolumeRange);
    m_VolumeSlider.SetToolTip(QStringLiteral("Volume"));

    m_SeekSlider.Create(SEEK_SLIDER_ID, QRect(130, 23, 10, 5), this, false);
    m_SeekSlider.SetToolTip(QStringLiteral("Seek"));
    m_SeekSlider.SetWidth(rcClient.width() - SEEK_WIDTH_MARGIN);
    m_SeekSlider.SetPos(0);

    m_StatusDisplay.Create(this, STATUS_HEIGHT);
    m_bInitialized = true;
    update();
}

void CPlayerCtrlBar::OnTimerTick() {
    m_StatusDisplay.OnTimer();
}

void CPlayerCtrlBar::SetVolumeRange(int nRange) {
    const int nOld = m_nVolumeRange;
    m_nVolumeRange = nRange;
    m_VolumeSlider.SetRange(nRange);
    if (nOld != nRange)
        m_VolumeSlider.SetPos(nRange);
    m_VolumeSlider.Invalidate();
}

void CPlayerCtrlBar::ShowVolumePosition(int64_t nPos) {
    m_VolumeSlider.SetPos(nPos);
    m_VolumeSlider.Invalidate();
}

void CPlayerCtrlBar::ShowSeekPosition(int64_t nPosition, int64_t nDuration) {
    if (nDuration == 0) {
        m_SeekSlider.SetPos(0);
        return;
    }
    m_SeekSlider.SetRange(nDuration);
    m_SeekSlider.SetPos(nPosition);
    m_SeekSlider.Invalidate();
}

void CPlayerCtrlBar::ShowTime(int64_t nPosition, int64_t nDuration) {
    m_StatusDisplay.SetPosition(nPosition);
    m_StatusDisplay.SetDuration(nDuration);
    m_StatusDisplay.Invalidate();
}

void CPlayerCtrlBar::ShowActivePlayer(int nPlayer) {
    m_btnPlayerA.SetCheck(nPlayer == 0);
    m_btnPlayerB.SetCheck(nPlayer == 1);
}

void CPlayerCtrlBar::SetUrlOpener(std::function<void(const QUrl &)> opener) {
    m_btnLink.SetUrlOpener(std::move(opener));
}

const CImageButton &CPlayerCtrlBar::GetButton(Button button) const {
    return button == BTN_LINK ? static_cast<const CImageButton &>(m_btnLink) : *m_pButtons[button];
}

bool CPlayerCtrlBar::event(QEvent *pEvent) {
    if (pEvent->type() == QEvent::ToolTip) {
        bool bShown = false;
        for (CImageButton *pButton : m_pButtons)
            bShown = bShown || pButton->RelayEvent(pEvent);
        bShown = bShown || m_btnLink.RelayEvent(pEvent);
        bShown = bShown || m_VolumeSlider.RelayEvent(pEvent);
        bShown = bShown || m_SeekSlider.RelayEvent(pEvent);
        if (!bShown) {
            QToolTip::hideText();
            pEvent->ignore();
        }
        return true;
    }
    return QWidget::event(pEvent);
}

void CPlayerCtrlBar::paintEvent(QPaintEvent *) {
    // One off-screen picture per paint: the strip and the seek slider change ten times a
    // second and must not flicker.
    QPixmap buffer(size());
    buffer.fill(Qt::black);
    {
        QPainter painter(&buffer);
        painter.setRenderHint(QPainter::Antialiasing, false);
        const QRect rcGradient = rect().adjusted(0, GRADIENT_TOP, 0, 0);
        m_PaintBox.GradientV(painter, rcGradient, kGradientTop, kGradientBottom);
        if (m_bInitialized) {
            for (CImageButton *pButton : m_pButtons)
                pButton->Draw(painter);
            m_VolumeSlider.Draw(painter);
            m_SeekSlider.Draw(painter);
            m_btnLink.Draw(painter);
            m_StatusDisplay.Draw(painter);
        }
    }
    QPainter target(this);
    target.drawPixmap(0, 0, buffer);
}

void CPlayerCtrlBar::resizeEvent(QResizeEvent *pEvent) {
    if (m_bInitialized) {
        m_SeekSlider.SetWidth(width() - SEEK_WIDTH_MARGIN);
        m_btnLink.OnParentSize(0, width(), height());
    }
    QWidget::resizeEvent(pEvent);
}

void CPlayerCtrlBar::mousePressEvent(QMouseEvent *pEvent) {
    if (pEvent->button() != Qt::LeftButton || !m_bInitialized)
        return QWidget::mousePressEvent(pEvent);
    // The press grabs the mouse implicitly, so the release reaches the bar wherever it is.
    const QPoint pt = pEvent->position().toPoint();
    const unsigned nFlags = static_cast<unsigned>(pEvent->buttons());
    for (CImageButton *pButton : m_pButtons)
        pButton->OnLButtonDown(nFlags, pt.x(), pt.y());
    m_VolumeSlider.OnLButtonDown(nFlags, pt.x(), pt.y());
    m_SeekSlider.OnLButtonDown(nFlags, pt.x(), pt.y());
    m_btnLink.OnLButtonDown(nFlags, pt.x(), pt.y());
}

void CPlayerCtrlBar::mouseReleaseEvent(QMouseEvent *pEvent) {
    if (pEvent->button() != Qt::LeftButton || !m_bInitialized)
        return QWidget::mouseReleaseEvent(pEvent);
    const QPoint pt = pEvent->position().toPoint();
    const unsigned nFlags = static_cast<unsigned>(pEvent->buttons());
    for (CImageButton *pButton : m_pButtons)
        pButton->OnLButtonUp(nFlags, pt.x(), pt.y());
    m_VolumeSlider.OnLButtonUp(nFlags, pt.x(), pt.y());
    m_SeekSlider.OnLButtonUp(nFlags, pt.x(), pt.y());
    m_btnLink.OnLButtonUp(nFlags, pt.x(), pt.y());
}

void CPlayerCtrlBar::mouseMoveEvent(QMouseEvent *pEvent) {
    if (!m_bInitialized)
        return QWidget::mouseMoveEvent(pEvent);
    const QPoint pt = pEvent->position().toPoint();
    const unsigned nFlags = static_cast<unsigned>(pEvent->buttons());
    for (CImageButton *pButton : m_pButtons)
        pButton->OnMouseMove(nFlags, pt.x(), pt.y());
    m_VolumeSlider.OnMouseMove(nFlags, pt.x(), pt.y());
    m_SeekSlider.OnMouseMove(nFlags, pt.x(), pt.y());
    m_btnLink.OnMouseMove(nFlags, pt.x(), pt.y());
}

void CPlayerCtrlBar::leaveEvent(QEvent *pEvent) {
    // Without this a hover picture would stay lit after the mouse left the bar sideways.
    if (m_bInitialized && !(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
        for (CImageButton *pButton : m_pButtons)
            pButton->OnMouseMove(0, -1, -1);
        m_btnLink.OnMouseMove(0, -1, -1);
    }
    QWidget::leaveEvent(pEvent);
}
