// A window-less horizontal slider: a gradient track with a picture thumb, painted into the
// parent's off-screen image and fed the parent's mouse events. It tells the main window its
// new position only when the mouse button is released, never while the thumb is dragged.
#pragma once

#include "widgets/CPaintBox.h"

#include <QColor>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

class QEvent;
class QPainter;

class CBitmapSlider {
public:
    static constexpr int BMP_THUMB = 147;
    // A track must be wider than this and lower than MAX_TRACK_HEIGHT.
    static constexpr int MIN_TRACK_WIDTH = 5;
    static constexpr int MAX_TRACK_HEIGHT = 13;

    // What the slider says when the operator has moved it: its new position.
    using Moved = std::function<void(int64_t nPos)>;

    explicit CBitmapSlider(Moved moved);
    virtual ~CBitmapSlider();
    CBitmapSlider(const CBitmapSlider &) = delete;
    CBitmapSlider &operator=(const CBitmapSlider &) = delete;

    // rcTrack in the parent's client coordinates. With bScaleThumb the thumb's height follows
    // the track's (a 10-pixel track shows it at its own size). False when refused.
    virtual bool Create(int nID, const QRect &rcTrack, QWidget *pParent, bool bScaleThumb);
    virtual void Draw(QPainter &painter);
    // Makes the slider this wide; a slider too narrow for its thumb disappears until widened.
    void SetWidth(int nWidth);

    void SetRange(int64_t nTop) { m_nRange = nTop; }
    int64_t GetRange() const { return m_nRange; }
    // Ignored outside 0..range, while disabled and while the thumb is dragged.
    void SetPos(int64_t nPos);
    // The position, or -1 while the slider is hidden.
    int64_t GetPos() const { return m_bVisible ? m_nPos : -1; }

    void SetVisible(bool bVisible);
    bool IsVisible() const { return m_bVisible; }
    void SetEnabled(bool bEnabled);
    bool IsEnabled() const { return m_bEnabled; }
    void SetColors(const QColor &crFrom, const QColor &crTo);

    void SetToolTip(const QString &strText);
    void UpdateToolTip(const QString &strText);
    bool RelayEvent(QEvent *pEvent);
    const QString &GetToolTipText() const { return m_strToolTip; }
    QRect ToolRect() const;

    int GetID() const { return m_nID; }
    bool IsDragging() const { return m_bDragging; }
    const QRect &GetTrackRect() const { return m_rcTrack; }
    const QRect &GetThumbRect() const { return m_rcThumb; }
    void Invalidate() const;

    // Mouse events of the parent, in its client coordinates.
    void OnLButtonDown(unsigned nFlags, int x, int y);
    void OnLButtonUp(unsigned nFlags, int x, int y);
    void OnMouseMove(unsigned nFlags, int x, int y);

protected:
    // The track's width in a slider nWidth wide, or 0 when the thumb would not fit.
    virtual int TrackWidthFor(int nWidth) const;
    void PlaceThumb();
    int64_t PosFromX(int x) const;
    void Notify();

    Moved m_moved;
    QString m_strToolTip;
    QPointer<QWidget> m_pParent;
    QRect m_rcTrack;
    QRect m_rcThumb;
    CPaintBox m_PaintBox;
    QColor m_brFrame{32, 32, 32};
    QPixmap m_bmpThumb;
    bool m_bToolTip = false;
    bool m_bCreated = false;
    bool m_bEnabled = false;
    bool m_bVisible = false;
    bool m_bScaleThumb = false;
    bool m_bButtonDown = false;
    bool m_bDragging = false;
    bool m_bTrackClick = false;
    int64_t m_nPos = 0;
    int64_t m_nRange = 100;
    int m_nThumbW = 0;
    int m_nThumbH = 0;
    float m_fThumbScale = 1.0f;
    int m_nID = 0;
    QColor m_crFrom{100, 238, 100};
    QColor m_crTo{52, 128, 55};
};
