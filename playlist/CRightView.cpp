#include "playlist/CRightView.h"

CRightView::CRightView(QWidget *pParent) : QWidget(pParent) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(32, 36, 48));
    setPalette(pal);
}

void CRightView::OnInitialUpdate() {}
