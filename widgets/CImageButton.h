// A window-less picture button: it lives inside a parent view, paints itself into the parent's
// off-screen image and is fed the parent's mouse events. Subclasses give it its pictures and
// what a click does.
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
    CImageButton();
    virtual ~CImageButton();
    CImageButton(const CImageButton &) = delete;
    CImageButton &operator=(const CImageButton &) = delete;

    // Places the button with its top-left corner at (x, y), the size of its first picture.
    bool Create(QWidget *pParent, int x, int y, int nBitmapId);
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
    QWidget *GetParentWnd() const { return m_pParent; }

    // Mouse events of the parent, in its client coordinates. The base ignores them.
    virtual void OnLButtonUp(unsigned nFlags, int x, int y);
    virtual void OnLButtonDown(unsigned nFlags, int x, int y);
    virtual void OnMouseMove(unsigned nFlags, int x, int y);
    // The parent's new client size.
    virtual void OnParentSize(int nType, int cx, int cy);

    const QRect &GetRect() const { return m_rcButton; }
    int GetBitmapID() const { return m_nBitmapID; }
    bool IsLoaded() const { return m_bLoaded; }
    bool IsVisible() const { return m_bVisible; }
    bool IsArmed() const { return m_bArmed; }
    bool GetState() const { return m_bState; }
    const QString &GetToolTipText() const { return m_strToolTip; }
    int GetToolId() const { return m_nToolId; }
    // How many pictures were loaded so far; a repeated SetBitmap must not add to it.
    int GetLoadCount() const { return m_nLoadCount; }

protected:
    void InvalidateRect(const QRect &rc) const;

    QRect m_rcButton;
    QPixmap m_Bitmap;
    CPaintBox m_PaintBox;
    QString m_strToolTip;
    int m_nToolId = 0;
    QColor m_crTransparent{30, 54, 156};
    int m_nWidth = 0;
    int m_nHeight = 0;
    QPointer<QWidget> m_pParent;
    bool m_bLoaded = false;
    bool m_bToolTip = false;
    bool m_bVisible = false;
    int m_nBitmapID = 0;
    bool m_bArmed = false;
    bool m_bState = false;
    int m_nLoadCount = 0;

private:
    static int s_nButtons;
};
