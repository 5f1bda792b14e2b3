// Drawing toolkit that every custom-painted window holds: a palette of pens, brushes and fonts
// by index, plus gradient fills and colour-keyed blits.
#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPen>
#include <QPixmap>
#include <QRect>

class QPainter;

class CPaintBox {
public:
    static constexpr int PEN_COUNT = 12;
    static constexpr int BRUSH_COUNT = 12;
    static constexpr int FONT_COUNT = 8;

    // The drawing operations of the platform, looked up at run time. A null entry point is a
    // missing one; the paint box then falls back as documented at each operation.
    struct CEntryPoints {
        bool bLibrary = true;
        void (*pfnGradientFill)(QPainter &painter, const QRect &rc, const QColor &crTop,
                                const QColor &crBottom) = nullptr;
        void (*pfnTransparentBlt)(QPainter &painter, const QRect &rcDest, const QPixmap &src,
                                  const QRect &rcSrc, const QColor &crTransparent) = nullptr;
    };
    // What this platform provides: both operations.
    static CEntryPoints PlatformEntryPoints();

    CPaintBox();
    virtual ~CPaintBox();
    CPaintBox(const CPaintBox &) = delete;
    CPaintBox &operator=(const CPaintBox &) = delete;

    // Creates the palette, then looks up the drawing operations.
    void Init() { Init(PlatformEntryPoints()); }
    void Init(const CEntryPoints &entryPoints);
    // Looks up the drawing operations only; true when all required ones were found.
    bool InitDll() { return InitDll(PlatformEntryPoints()); }
    bool InitDll(const CEntryPoints &entryPoints);
    bool IsReady() const { return m_bReady; }

    // Select a palette object into the painter; the previous one is returned.
    QFont SelectFont(QPainter &painter, int nIndex) const;
    QPen SelectPen(QPainter &painter, int nIndex) const;
    QBrush SelectBrush(QPainter &painter, int nIndex) const;
    const QFont &Font(int nIndex) const;
    const QPen &Pen(int nIndex) const;
    const QBrush &Brush(int nIndex) const;

    // Top-to-bottom gradient; a solid fill in crFrom without the gradient operation.
    void GradientV(QPainter &painter, const QRect &rc, const QColor &crFrom,
                   const QColor &crTo) const;
    // Copies the source rectangle scaled into the destination, leaving out every pixel of
    // exactly the transparent colour. The picture's own alpha is kept.
    void TransparentBlt(QPainter &painter, int x, int y, int nWidth, int nHeight,
                        const QPixmap &src, int xSrc, int ySrc, int nSrcWidth, int nSrcHeight,
                        const QColor &crTransparent) const;

    // The picture with every pixel of exactly crKey made fully transparent.
    static QPixmap KeyOut(const QPixmap &src, const QColor &crKey);

private:
    bool m_bReady = false;
    QPen m_Pens[PEN_COUNT];
    QBrush m_Brushes[BRUSH_COUNT];
    QFont m_Fonts[FONT_COUNT];
    CEntryPoints m_entryPoints;
};
