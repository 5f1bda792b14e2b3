// A window-less picture button: it lives inside a parent view, paints itself into the parent's
// off-screen image and is fed the parent's mouse events. It shows its pressed and hover pictures
// itself; subclasses say what a click does and, where it depends on a state, which picture rests.
#pragma once

#include "widgets/CPaintBox.h"

#include <QColor>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

class QEvent;
class QPainter;

class CImageButton {
public:
    // Picture resource numbers; a button without a hover or pressed picture leaves it 0 and
    // keeps showing its resting one.
    struct CPictures {
        int nNormal = 0;
        int nHover = 0;
        int nPressed = 0;
    };

    explicit CImageButton(const CPictures &pictures);
    virtual ~CImageButton();
    CImageButton(const CImageButton &) = delete;
    CImageButton &operator=(const CImageButton &) = delete;

    // Places the button with its top-left corner at (x, y), the size of its resting picture.
    bool Create(QWidget *pParent, int x, int y);
    // Shows another picture (nothing when it is the one shown or the button is hidden).
    void SetBitmap(int nBitmapId);
    void MoveTo(int x, int y);

    void SetToolTip(const QString &strText);
    void UpdateToolTip(const QString &strText);
    // Offers one of the parent's events to the tooltip; true when it showed the tip.
    bool RelayEvent(QEvent *pEvent);

    void SetVisible(bool bVisible);
    void Draw(QPainter &painter);
    bool HitTest(int x, int y) const { return m_rcButton.contains(x, y); }
    void SetTransparentColor(const QColor &cr) { m_crTransparent = cr; }

    // Mouse events of the parent, in its client coordinates. A press inside arms the button and
    // shows the pressed picture; releasing an armed button inside it clicks it; an unarmed
    // button shows its hover picture while the mouse is over it.
    void OnLButtonUp(unsigned nFlags, int x, int y);
    void OnLButtonDown(unsigned nFlags, int x, int y);
    void OnMouseMove(unsigned nFlags, int x, int y);

    const QRect &GetRect() const { return m_rcButton; }
    int GetBitmapID() const { return m_nBitmapID; }
    bool IsVisible() const { return m_bVisible; }
    bool GetState() const { return m_bState; }
    const QString &GetToolTipText() const { return m_strToolTip; }

protected:
    // Called after a press inside the button was released inside it, once the picture shows
    // the mouse over it again.
    virtual void OnClick() = 0;
    virtual int RestingBitmap() const { return m_pictures.nNormal; }
    virtual int PressedBitmap() const;
    void InvalidateRect(const QRect &rc) const;

    CPictures m_pictures;
    QRect m_rcButton;
    QPixmap m_Bitmap;
    CPaintBox m_PaintBox;
    QString m_strToolTip;
    QColor m_crTransparent{30, 54, 156};
    int m_nWidth = 0;
    int m_nHeight = 0;
    QPointer<QWidget> m_pParent;
    bool m_bLoaded = false;
    bool m_bToolTip = false;
    bool m_bVisible = false;
    int m_nBitmapID = 0;
    bool m_bArmed = false;
    bool m_bHover = false;
    bool m_bState = false;
};
