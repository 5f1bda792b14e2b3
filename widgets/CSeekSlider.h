// The control bar's seek slider: a bitmap slider with a picture at each end of its track.
#pragma once

#include "widgets/CBitmapSlider.h"

class CSeekSlider : public CBitmapSlider {
public:
    static constexpr int BMP_LEFT = 150;
    static constexpr int BMP_RIGHT = 151;
    // Gap between a cap and the track.
    static constexpr int CAP_GAP = 6;

    explicit CSeekSlider(Moved moved);
    ~CSeekSlider() override;

    // The track given includes the caps; the slider narrows it to make room for them.
    bool Create(int nID, const QRect &rcTrack, QWidget *pParent, bool bScaleThumb) override;
    void Draw(QPainter &painter) override;

protected:
    // The width spans the left end of the track to the right cap.
    int TrackWidthFor(int nWidth) const override;

private:
    QPixmap m_bmpLeft;
    QPixmap m_bmpRight;
    int m_nLeftW = 0;
    int m_nLeftH = 0;
    int m_nRightW = 0;
    int m_nRightH = 0;
};
