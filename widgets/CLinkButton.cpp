#include "widgets/CLinkButton.h"

#include "core/CLogBook.h"

#include <QDesktopServices>

const char *const CLinkButton::MAKER_URL = "https://ovak.example.org/tessaro/";

CLinkButton::CLinkButton() : CImageButton({BMP_LINK}) {
    m_fnOpenUrl = [](const QUrl &url) {
        if (!QDesktopServices::openUrl(url))
            LogError("CLinkButton::OnLButtonUp(): could not open %s\n",
                     url.toString().toUtf8().constData());
    };
}

void CLinkButton::OnClick() {
    if (m_fnOpenUrl)
        m_fnOpenUrl(QUrl(QString::fromLatin1(MAKER_URL)));
}

void CLinkButton::OnParentSize(int, int cx, int) {
    MoveTo(cx - RIGHT_MARGIN - m_nWidth, m_rcButton.top());
}
