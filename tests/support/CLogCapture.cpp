#include "support/CLogCapture.h"

CLogCapture::CLogCapture()
    : m_pLog(std::make_unique<CLogBook>(500, 256)), m_pPrevious(GetLogBook()) {
    SetLogBook(m_pLog.get());
}

CLogCapture::~CLogCapture() {
    SetLogBook(m_pPrevious);
}

std::vector<CLogCapture::Line> CLogCapture::Lines() const {
    std::vector<Line> lines;
    const int n = m_pLog->GetLineCount();
    for (int i = 1; i <= n; ++i) {
        const int k = i % n; // the current line (0) comes last
        const char *psz = m_pLog->GetLineText(k);
        if (*psz)
            lines.push_back({psz, m_pLog->GetDisplayLevel(k)});
    }
    return lines;
}

std::string CLogCapture::Text() const {
    std::string s;
    for (const Line &line : Lines())
        s += line.text + "\n";
    return s;
}

bool CLogCapture::Contains(const std::string &strFragment) const {
    return Text().find(strFragment) != std::string::npos;
}
