#include "playback/CPlayerWindow.h"

#include "core/CTransition.h"
#include "playback/CVideoOutput.h"
#include "playback/CVideoWidget.h"

#include <QGraphicsOpacityEffect>
#include <QLinearGradient>
#include <QScreen>

CPlayerWindow::~CPlayerWindow() {
    delete m_pWidget.data();
}

void CPlayerWindow::SetOutput(CVideoOutput *pOutput) {
    // The widget belongs to the output it was made by.
    delete m_pWidget.data();
    m_pOutput = pOutput;
    m_scaledSize = QSize();
}

void CPlayerWindow::SetOwner(QWidget *pOwner) {
    if (!m_pWidget) {
        if (!pOwner || !m_pOutput)
            return;
        m_pWidget = m_pOutput->CreateWidget(pOwner);
        m_pWidget->hide();
        m_pWidget->setGeometry(0, 0, 0, 0); // placed by Place only
    } else if (m_pWidget->parentWidget() != pOwner) {
        // Reparenting hides a widget; a shown video stays shown in its new owner.
        const bool bShown = !m_pWidget->isHidden();
        if (pOwner && m_pWidget->testAttribute(Qt::WA_NativeWindow) &&
            !m_pWidget->screen()->virtualSiblings().contains(pOwner->screen())) {
            // X cannot move a native window to another X screen (a display that is not part
            // of the same desktop): the sink gets a new window there.
            const QRect rcVideo = m_pWidget->geometry();
            delete m_pWidget.data();
            m_pWidget = m_pOutput->CreateWidget(pOwner);
            m_pWidget->setGeometry(rcVideo);
        } else {
            m_pWidget->setParent(pOwner);
        }
        if (bShown && pOwner)
            m_pWidget->show();
        m_pOutput->OnWidgetMoved();
    }
    m_pWidget->SetMessageDrain(pOwner);
}

void CPlayerWindow::SetDrain(QWidget *pDrain) {
    if (m_pWidget)
        m_pWidget->SetMessageDrain(pDrain);
}

void CPlayerWindow::Show(bool bShow) {
    if (!m_pWidget)
        return;
    m_pWidget->setVisible(bShow);
    if (bShow) {
        m_pWidget->raise();
        m_pOutput->OnWidgetMoved();
    }
}

void CPlayerWindow::Hide() {
    if (m_pWidget)
        m_pWidget->hide();
}

void CPlayerWindow::Release() {
    if (m_pWidget) {
        m_pWidget->hide();
        m_pWidget->setParent(nullptr);
    }
    m_scaledSize = QSize();
}

bool CPlayerWindow::Place(const QRect &placed) {
    if (!m_pWidget)
        return false;
    m_pWidget->setGeometry(placed);
    // Frames come in device pixels, so a high-density screen needs no scaling when painting.
    const qreal dRatio = m_pWidget->devicePixelRatioF();
    const QSize scaled(qRound(placed.width() * dRatio), qRound(placed.height() * dRatio));
    if (scaled == m_scaledSize)
        return false;
    m_scaledSize = scaled;
    return m_pOutput->SetScaledSize(scaled);
}

void CPlayerWindow::SetLevel(double dOpacity, double dWipeEdge) {
    if (!m_pWidget)
        return;
    const bool bWhole = dOpacity >= 1.0 && dWipeEdge < 0.0;
    if (m_pWidget->testAttribute(Qt::WA_PaintOnScreen)) {
        const bool bShow = (dWipeEdge < 0.0 ? dOpacity : dWipeEdge) >= 0.5;
        if (bShow == m_pWidget->isHidden())
            Show(bShow);
        return;
    }
    if (bWhole) {
        // Handed back: the picture is painted as it always is, with nothing in between.
        m_pWidget->setGraphicsEffect(nullptr);
        return;
    }
    auto *pEffect = qobject_cast<QGraphicsOpacityEffect *>(m_pWidget->graphicsEffect());
    if (!pEffect) {
        pEffect = new QGraphicsOpacityEffect(m_pWidget);
        m_pWidget->setGraphicsEffect(pEffect);
    }
    pEffect->setOpacity(dOpacity);
    if (dWipeEdge < 0.0) {
        pEffect->setOpacityMask(QBrush());
        return;
    }
    const double w = m_pWidget->width();
    QLinearGradient edge((dWipeEdge - CTransition::WIPE_SOFTNESS) * w, 0.0, dWipeEdge * w, 0.0);
    edge.setColorAt(0.0, Qt::black);
    edge.setColorAt(1.0, Qt::transparent);
    pEffect->setOpacityMask(edge);
}

QWidget *CPlayerWindow::Widget() const {
    return m_pWidget;
}

bool CPlayerWindow::IsHidden() const {
    return !m_pWidget || m_pWidget->isHidden();
}

QRect CPlayerWindow::Geometry() const {
    return m_pWidget ? m_pWidget->geometry() : QRect(0, 0, 0, 0);
}
