#include "remote/CDMXInput.h"

#include "core/CSteadyTickClock.h"

#include <cstring>

namespace {
const CTickClock &SteadyClock() {
    static const CSteadyTickClock clock;
    return clock;
}
} // namespace

CDMXInput::CDMXInput(const QString &strProgramDir) : CDMXInput(strProgramDir, SteadyClock()) {}

CDMXInput::CDMXInput(const QString &strProgramDir, const CTickClock &clock)
    : m_Driver(strProgramDir, clock) {
    m_Driver.Open();
    memset(m_Channels, 0, sizeof m_Channels);
}

CDMXInput::~CDMXInput() {
    m_Driver.Close();
}

int CDMXInput::Poll() {
    m_Driver.UpdateStats();
    int nFrames = 0;
    while (m_Driver.GetNextFrame(m_Channels, CHANNELS))
        ++nFrames;
    return nFrames;
}

QString CDMXInput::GetStatusText() {
    char szText[128] = {};
    m_Driver.GetStatusText(szText, sizeof szText, 0);
    return QString::fromLatin1(szText);
}
