#include "widgets/CStatusDisplay.h"

#include "core/CTimeFormat.h"

#include "core/CSteadyTickClock.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>

namespace {
const QColor kSymbolFill(96, 238, 96);
const QColor kSymbolEdge(48, 200, 48);
} // namespace

CStatusDisplay::CStatusDisplay()
    : m_pOwnClock(std::make_unique<CSteadyTickClock>()), m_pClock(m_pOwnClock.get()) {}

CStatusDisplay::~CStatusDisplay() = default;

void CStatusDisplay::Create(QWidget *pParent, int nHeight) {
    m_pParent = pParent;
    m_nHeight = nHeight;
    m_PaintBox.Init();
    m_bCreated = true;
}

void CStatusDisplay::SetTickClock(const CTickClock *pClock) {
    m_pClock = pClock ? pClock : m_pOwnClock.get();
}

void CStatusDisplay::SetPlayState(int nState) {
    m_nPlayState = nState;
    Invalidate();
}

void CStatusDisplay::OnTimer() {
    if (!m_bCreated)
        return;
    const uint32_t dwNow = m_pClock->GetTickCount();
    if (m_dwModeTick == 0)
        m_dwModeTick = dwNow;
    // Unsigned difference, so the tick counter may wrap.
    if (dwNow - m_dwModeTick < MODE_PERIOD_MS)
        return;
    ++m_nMode;
    Invalidate();
    m_dwModeTick = 0;
}

void CStatusDisplay::Invalidate() const {
    if (m_bCreated && m_pParent)
        m_pParent->update(0, 0, m_pParent->width(), m_nHeight);
}

QString CStatusDisplay::FormatTime(int64_t nMs) {
    return CTimeFormat::HoursMinutesSeconds(nMs);
}

void CStatusDisplay::NormalizeMode() {
    if (m_nMode > 1 || m_strMessage.isEmpty())
        m_nMode = 0;
}

QString CStatusDisplay::LeftText() {
    NormalizeMode();
    if (m_nMode == 1)
        return m_strMessage;
    switch (m_nPlayState) {
    case 0:
        return QStringLiteral("Stopped");
    case 1:
        return QStringLiteral("Paused");
    case 2:
        return QStringLiteral("Playing");
    default:
        return QString();
    }
}

QString CStatusDisplay::TimeText() const {
    return FormatTime(m_nPosition) + QStringLiteral(" / ") + FormatTime(m_nDuration);
}

void CStatusDisplay::DrawSymbol(QPainter &painter) const {
    const int h = m_nHeight;
    const int m = h / 2;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(kSymbolEdge, 1);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setBrush(kSymbolFill);
    // Outlines cover the same pixels as a filled rectangle with exclusive right and bottom.
    switch (m_nPlayState) {
    case 0:
        if (h > 6)
            painter.drawRect(14, m - 3, 6, 6);
        break;
    case 1:
        if (h >= 8) {
            painter.drawRect(14, m - 4, 2, 7);
            painter.drawRect(19, m - 4, 2, 7);
        }
        break;
    case 2:
        if (h > 7)
            painter.drawPolygon(QPolygon({QPoint(14, m - 4), QPoint(14, m + 4), QPoint(18, m)}));
        break;
    default:
        break;
    }
    painter.restore();
}

void CStatusDisplay::Draw(QPainter &painter) {
    if (!m_bCreated || !m_pParent)
        return;
    DrawSymbol(painter);

    painter.save();
    m_PaintBox.SelectFont(painter, 0);
    painter.setPen(Qt::white);
    painter.setBackgroundMode(Qt::TransparentMode);
    const QFontMetrics metrics(painter.font());
    const int nWidth = m_pParent->width();

    const QRect rcTime(nWidth - TIME_WIDTH, 0, TIME_WIDTH, m_nHeight);
    painter.drawText(rcTime, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip,
                     metrics.elidedText(TimeText(), Qt::ElideRight, rcTime.width()));

    const QRect rcText(TEXT_LEFT, 0, nWidth - TIME_WIDTH - TEXT_LEFT, m_nHeight);
    const QString strText = LeftText();
    if (rcText.width() > 0 && !strText.isEmpty())
        painter.drawText(rcText,
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip,
                         metrics.elidedText(strText, Qt::ElideRight, rcText.width()));
    painter.restore();
}
