#include "widgets/CPaintBox.h"

#include "core/CLogBook.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmapCache>

namespace {

void PlatformGradientFill(QPainter &painter, const QRect &rc, const QColor &crTop,
                          const QColor &crBottom) {
    // The first colour sits on the top edge and the second on the bottom edge of the area.
    QLinearGradient gradient(0, rc.top(), 0, rc.top() + rc.height());
    gradient.setColorAt(0, crTop);
    gradient.setColorAt(1, crBottom);
    painter.fillRect(rc, gradient);
}

void PlatformTransparentBlt(QPainter &painter, const QRect &rcDest, const QPixmap &src,
                            const QRect &rcSrc, const QColor &crTransparent) {
    // Widgets repaint ten times a second; keep the keyed picture instead of rebuilding it.
    const QString strKey = QStringLiteral("tessaro-keyed-%1-%2-%3-%4-%5-%6")
                               .arg(src.cacheKey())
                               .arg(crTransparent.rgb())
                               .arg(rcSrc.x())
                               .arg(rcSrc.y())
                               .arg(rcSrc.width())
                               .arg(rcSrc.height());
    QPixmap keyed;
    if (!QPixmapCache::find(strKey, &keyed)) {
        keyed = CPaintBox::KeyOut(src.copy(rcSrc), crTransparent);
        QPixmapCache::insert(strKey, keyed);
    }
    // Stretching picks pixels rather than blending them, as the blit it stands in for did.
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawPixmap(rcDest, keyed);
    painter.restore();
}

QFont MakeFont(const char *pszFace, qreal rPoints) {
    QFont font(QString::fromLatin1(pszFace));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(rPoints);
    return font;
}

} // namespace

CPaintBox::CEntryPoints CPaintBox::PlatformEntryPoints() {
    CEntryPoints entryPoints;
    entryPoints.pfnGradientFill = PlatformGradientFill;
    entryPoints.pfnTransparentBlt = PlatformTransparentBlt;
    return entryPoints;
}

CPaintBox::CPaintBox() {
    for (QPen &pen : m_Pens)
        pen = QPen(Qt::NoPen);
    for (QBrush &brush : m_Brushes)
        brush = QBrush(Qt::NoBrush);
    m_entryPoints.bLibrary = false;
}

CPaintBox::~CPaintBox() = default;

void CPaintBox::Init(const CEntryPoints &entryPoints) {
    static const QRgb kColours[PEN_COUNT] = {
        qRgb(0, 0, 0),       qRgb(32, 32, 32),    qRgb(128, 128, 128), qRgb(192, 192, 192),
        qRgb(255, 255, 255), qRgb(0, 0, 96),      qRgb(255, 255, 255), qRgb(32, 32, 32),
        qRgb(255, 255, 255), qRgb(255, 128, 128), qRgb(128, 255, 128), qRgb(128, 128, 255)};
    for (int i = 0; i < PEN_COUNT; ++i) {
        m_Pens[i] = QPen(QColor::fromRgb(kColours[i]), 1, Qt::SolidLine);
        m_Pens[i].setCosmetic(true);
    }
    // The last three colours exist as pens only.
    for (int i = 0; i < 9; ++i)
        m_Brushes[i] = QBrush(QColor::fromRgb(kColours[i]));

    m_Fonts[0] = MakeFont("MS Sans Serif", 8);
    m_Fonts[1] = QFont(QStringLiteral("MS Sans Serif"));
    m_Fonts[1].setStyleHint(QFont::SansSerif);
    m_Fonts[1].setPixelSize(10);
    m_Fonts[1].setWeight(QFont::Bold);
    m_Fonts[2] = MakeFont("Arial", 18);
    m_Fonts[3] = MakeFont("Arial Black", 18);
    m_Fonts[4] = MakeFont("Marlett", 12);
    m_Fonts[5] = MakeFont("Marlett", 18);
    m_Fonts[6] = MakeFont("Lucida Console", 8);
    m_Fonts[6].setStyleHint(QFont::Monospace);
    m_Fonts[7] = MakeFont("Small Fonts", 6);

    InitDll(entryPoints);
}

bool CPaintBox::InitDll(const CEntryPoints &entryPoints) {
    m_bReady = false;
    m_entryPoints = CEntryPoints();
    m_entryPoints.bLibrary = false;
    if (!entryPoints.bLibrary) {
        LogError("CPaintBox: Could not initialize msimg32.dll\n");
        return false;
    }
    m_entryPoints.bLibrary = true;
    m_entryPoints.pfnGradientFill = entryPoints.pfnGradientFill;
    if (!entryPoints.pfnGradientFill) {
        LogError("CPaintBox: GradientFill() not found\n");
        return false;
    }
    m_entryPoints.pfnTransparentBlt = entryPoints.pfnTransparentBlt;
    if (!entryPoints.pfnTransparentBlt) {
        LogError("CPaintBox: dllfunc_TransparentBlt() not found\n");
        return false;
    }
    m_bReady = true;
    return true;
}

const QFont &CPaintBox::Font(int nIndex) const {
    return m_Fonts[qBound(0, nIndex, FONT_COUNT - 1)];
}

const QPen &CPaintBox::Pen(int nIndex) const {
    return m_Pens[qBound(0, nIndex, PEN_COUNT - 1)];
}

const QBrush &CPaintBox::Brush(int nIndex) const {
    return m_Brushes[qBound(0, nIndex, BRUSH_COUNT - 1)];
}

QFont CPaintBox::SelectFont(QPainter &painter, int nIndex) const {
    QFont previous = painter.font();
    painter.setFont(Font(nIndex));
    return previous;
}

QPen CPaintBox::SelectPen(QPainter &painter, int nIndex) const {
    QPen previous = painter.pen();
    painter.setPen(Pen(nIndex));
    return previous;
}

QBrush CPaintBox::SelectBrush(QPainter &painter, int nIndex) const {
    QBrush previous = painter.brush();
    painter.setBrush(Brush(nIndex));
    return previous;
}

void CPaintBox::GradientV(QPainter &painter, const QRect &rc, const QColor &crFrom,
                          const QColor &crTo) const {
    if (rc.isEmpty())
        return;
    if (!m_entryPoints.pfnGradientFill) {
        painter.fillRect(rc, crFrom);
        return;
    }
    m_entryPoints.pfnGradientFill(painter, rc, crFrom, crTo);
}

void CPaintBox::TransparentBlt(QPainter &painter, int x, int y, int nWidth, int nHeight,
                               const QPixmap &src, int xSrc, int ySrc, int nSrcWidth,
                               int nSrcHeight, const QColor &crTransparent) const {
    if (src.isNull() || nWidth <= 0 || nHeight <= 0 || nSrcWidth <= 0 || nSrcHeight <= 0)
        return;
    const QRect rcDest(x, y, nWidth, nHeight);
    const QRect rcSrc(xSrc, ySrc, nSrcWidth, nSrcHeight);
    if (!m_entryPoints.pfnTransparentBlt) {
        // Without the keyed blit the picture still shows, key colour and all.
        painter.drawPixmap(rcDest, src, rcSrc);
        return;
    }
    m_entryPoints.pfnTransparentBlt(painter, rcDest, src, rcSrc, crTransparent);
}

QPixmap CPaintBox::KeyOut(const QPixmap &src, const QColor &crKey) {
    QImage image = src.toImage().convertToFormat(QImage::Format_ARGB32);
    const QRgb key = crKey.rgb() & 0xFFFFFF;
    for (int y = 0; y < image.height(); ++y) {
        QRgb *pLine = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            // Only fully opaque pixels carry a true colour to compare with.
            if (qAlpha(pLine[x]) == 255 && (pLine[x] & 0xFFFFFF) == key)
                pLine[x] = 0;
        }
    }
    return QPixmap::fromImage(image);
}
