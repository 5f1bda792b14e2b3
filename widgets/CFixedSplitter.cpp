#include "widgets/CFixedSplitter.h"

#include <QResizeEvent>
#include <QSplitterHandle>

namespace {
// A bar that is drawn as usual but never reacts to the mouse, so the fixed pane cannot be
// resized by hand and no resize cursor appears over it.
class CInertHandle : public QSplitterHandle {
public:
    CInertHandle(Qt::Orientation orientation, QSplitter *pParent)
        : QSplitterHandle(orientation, pParent) {
        setCursor(Qt::ArrowCursor);
    }

protected:
    void mousePressEvent(QMouseEvent *) override {}
    void mouseMoveEvent(QMouseEvent *) override {}
    void mouseReleaseEvent(QMouseEvent *) override {}
    void mouseDoubleClickEvent(QMouseEvent *) override {}
};
} // namespace

CFixedSplitter::CFixedSplitter(Qt::Orientation orientation, QWidget *pParent)
    : QSplitter(orientation, pParent) {
    setHandleWidth(3);
    setChildrenCollapsible(false);
}

void CFixedSplitter::SetFixedBottom(int nHeight) {
    m_nFixedBottom = nHeight;
    ApplyFixedSize(size());
}

void CFixedSplitter::SetFixedRight(int nWidth) {
    m_nFixedRight = nWidth;
    ApplyFixedSize(size());
}

QSplitterHandle *CFixedSplitter::createHandle() {
    return new CInertHandle(orientation(), this);
}

void CFixedSplitter::resizeEvent(QResizeEvent *pEvent) {
    QSplitter::resizeEvent(pEvent);
    ApplyFixedSize(pEvent->size());
}

void CFixedSplitter::ApplyFixedSize(const QSize &size) {
    if (count() < 2)
        return;
    const bool bVertical = orientation() == Qt::Vertical;
    const int nFixed = bVertical ? m_nFixedBottom : m_nFixedRight;
    if (nFixed <= 0)
        return;
    const int nTotal = (bVertical ? size.height() : size.width()) - handleWidth();
    QList<int> sizes(count(), 0);
    sizes[0] = qMax(0, nTotal - nFixed);
    sizes[1] = nFixed;
    setSizes(sizes);
}
