#include "app/CWebRemote.h"

#include "remote/CWebServer.h"

CWebRemote::CWebRemote(CCommandSink &sink, std::function<CShowState()> source, CProfile &profile,
                       const CTickClock &clock, CShowEvents &events, QObject *pParent)
    : QObject(pParent), m_pServer(new CWebServer(sink, events, profile, clock, this)) {
    m_pServer->SetStatusSource(std::move(source));
}

bool CWebRemote::Init() {
    return m_pServer->Init();
}
