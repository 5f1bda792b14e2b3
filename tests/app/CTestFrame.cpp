#include "CTestFrame.h"

#include <QTest>

CTestFrame::CTestFrame(int nPortBase) {
    m_profile.WriteProfileString("Network", "StatusAddress", "127.0.0.1");
    m_profile.WriteProfileInt("Network", "StatusPort", nPortBase);
    m_profile.WriteProfileInt("Network", "CommandPort", nPortBase + 1);
    // No OSC socket on the real default port, where parallel tests would meet.
    m_profile.WriteProfileInt("OSC", "Port", 0);
}

bool CTestFrame::Create(const std::function<void(CMainFrame &)> &beforeInitialUpdate, bool bShow) {
    m_pSettings = std::make_unique<CGeneralSettings>(m_profile);
    m_pFrame = std::make_unique<CMainFrame>(m_profile, *m_pSettings, m_ui, m_recent, m_dir.path(),
                                            m_dir.path());
    m_pFrame->resize(1000, 600);
    if (!m_pFrame->OnCreateClient())
        return false;
    if (beforeInitialUpdate)
        beforeInitialUpdate(*m_pFrame);
    m_pFrame->OnInitialUpdate();
    if (!bShow)
        return true;
    m_pFrame->show();
    return QTest::qWaitForWindowExposed(m_pFrame.get());
}
