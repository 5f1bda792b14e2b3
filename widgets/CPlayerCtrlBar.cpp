#include "widgets/CPlayerCtrlBar.h"

CPlayerCtrlBar::CPlayerCtrlBar(CMessageSink &sink, CProfile &profile,
                               const CGeneralSettings &settings, QWidget *pParent)
    : QWidget(pParent), m_sink(sink), m_profile(profile), m_settings(settings) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(48, 56, 72));
    setPalette(pal);
}

void CPlayerCtrlBar::OnInitialUpdate() {}

void CPlayerCtrlBar::OnTimerTick() {}
