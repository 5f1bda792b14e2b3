#include "app/CDlgSplash.h"

#include "widgets/CResourceBitmap.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>

CDlgSplash::CDlgSplash(QWidget *pParent)
    : QDialog(pParent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_pTimer(new QTimer(this)) {
    // Black is the colour key: those pixels let the desktop show through, the rest is drawn
    // at 224/255 opacity.
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowOpacity(SPLASH_ALPHA / 255.0);
    m_picture = CResourceBitmap::Load(361);
    if (!m_picture.isNull())
        m_picture.setMask(m_picture.createMaskFromColor(Qt::black));
    setFixedSize(m_picture.isNull() ? QSize(600, 260) : m_picture.size());

    m_pTimer->setSingleShot(true);
    m_pTimer->setInterval(SPLASH_MS);
    connect(m_pTimer, &QTimer::timeout, this, &CDlgSplash::OnTimer);
}

void CDlgSplash::ShowSplash() {
    if (const QScreen *pScreen = QGuiApplication::primaryScreen())
        move(pScreen->geometry().center() - rect().center());
    show();
    raise();
    m_pTimer->start();
}

void CDlgSplash::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawPixmap(0, 0, m_picture);
}

void CDlgSplash::OnTimer() {
    accept();
}
