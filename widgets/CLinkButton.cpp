#include "widgets/CLinkButton.h"

#include "core/CLogBook.h"

#include <QDesktopServices>

const char *const CLinkButton::MAKER_URL = "https://ovak.example.org/tessaro/";

CLinkButton::CLinkButton() {
    m_fnOpenUrl = [](const QUrl &url) {
        if (!QDesktopServices::openUrl(url))
            LogError("CLinkButton::OnLButtonUp(): could not open %s\n",
                     url.toString().toUtf8().constData());
    };
}

void CLinkButton::OnLButtonDown(unsigned, int x, int y) {
    if (HitTest(x, y))
        m_bArmed = true;
}

void CLinkButton::OnLButtonUp(unsigned, int x, int y) {
    const bool bClicked = m_bArmed && HitTest(x, y);
    m_bArmed = false;
    if (bClicked && m_fnOpenUrl)
        m_fnOpenUrl(QUrl(QString::fromLatin1(MAKER_URL)));
}

void CLinkButton::OnParentSize(int, int cx, int) {
    MoveTo(cx - RIGHT_MARGIN - m_nWidth, m_rcButton.top());
}
