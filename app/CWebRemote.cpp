#include "app/CWebRemote.h"

#include "app/CMainFrame.h"
#include "remote/CWebServer.h"

CWebRemote::CWebRemote(CMainFrame &frame, CProfile &profile, const CTickClock &clock,
                       CShowEvents &events)
    : QObject(&frame), m_frame(frame),
      m_pServer(new CWebServer(frame, events, profile, clock, this)) {
    m_pServer->SetStatusSource([this] { return m_frame.ShowState(); });
}

bool CWebRemote::Init() {
    return m_pServer->Init();
}
