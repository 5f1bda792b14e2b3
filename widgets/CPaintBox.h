// Drawing toolkit that every custom-painted window holds: a palette of pens, brushes and fonts
// by index, plus gradient fills, colour-keyed blits and layered-window attributes.
#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPen>
#include <QPixmap>
#include <QRect>

class QPainter;
class QWidget;

class CPaintBox {
public:
    static constexpr int PEN_COUNT = 12;
    static constexpr int BRUSH_COUNT = 12;
    static constexpr int FONT_COUNT = 8;

    // Flags handed to the layered-window operation.
    static constexpr unsigned LWA_COLORKEY = 0x1;
    static constexpr unsigned LWA_ALPHA = 0x2;

    // The drawing operations of the platform, looked up at run time. A null entry point is a
    // missing one; the paint box then falls back as documented at each operation.
    struct CEntryPoints {
        bool bLibrary = true;
        void (*pfnGradientFill)(QPainter &painter, const QRect &rc, const QColor &crTop,
                                const QColor &crBottom) = nullptr;
        void (*pfnTransparentBlt)(QPainter &painter, const QRect &rcDest, const QPixmap &src,
                                  const QRect &rcSrc, const QColor &crTransparent) = nullptr;
        void (*pfnSetLayered)(QWidget *pWnd, const QColor &crKey, int nAlpha,
                              unsigned nFlags) = nullptr;
    };
    // What this platform provides: all three operations.
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
    // Upper half c1 to c2, lower half c2 to c3; an invalid c3 means c1 (a symmetric bar).
    void GradientV2(QPainter &painter, const QRect &rc, const QColor &c1, const QColor &c2,
                    const QColor &c3 = QColor()) const;
    // Copies the source rectangle scaled into the destination, leaving out every pixel of
    // exactly the transparent colour. The picture's own alpha is kept.
    void TransparentBlt(QPainter &painter, int x, int y, int nWidth, int nHeight,
                        const QPixmap &src, int xSrc, int ySrc, int nSrcWidth, int nSrcHeight,
                        const QColor &crTransparent) const;
    // Makes a top-level window see-through where it shows crKey (invalid = no key; the window
    // must already show its picture at its final size) and/or uniformly translucent (nAlpha
    // 0..255, negative = opaque). Returns the flags applied, 0 when the operation is missing.
    unsigned SetLayered(QWidget *pWnd, const QColor &crKey, int nAlpha) const;

    // The picture with every pixel of exactly crKey made fully transparent.
    static QPixmap KeyOut(const QPixmap &src, const QColor &crKey);

private:
    bool m_bReady = false;
    QPen m_Pens[PEN_COUNT];
    QBrush m_Brushes[BRUSH_COUNT];
    QFont m_Fonts[FONT_COUNT];
    CEntryPoints m_entryPoints;
};
