#include "widgets/CPaneSplitter.h"

#include <QWidget>

CPaneSplitter::CPaneSplitter(Qt::Orientation orientation, QWidget *pParent)
    : QSplitter(orientation, pParent) {
    // Panes never collapse to nothing: a drag stops at the minimum of either side.
    setChildrenCollapsible(false);
}

void CPaneSplitter::SetColumnInfo(int nColumn, int nIdeal, int nMinimum) {
    QWidget *pPane = widget(nColumn);
    if (!pPane)
        return;
    if (orientation() == Qt::Horizontal)
        pPane->setMinimumWidth(nMinimum);
    else
        pPane->setMinimumHeight(nMinimum);
    pPane->setProperty("idealSize", nIdeal);
}

int CPaneSplitter::GetColumnMinimum(int nColumn) const {
    const QWidget *pPane = widget(nColumn);
    if (!pPane)
        return 0;
    return orientation() == Qt::Horizontal ? pPane->minimumWidth() : pPane->minimumHeight();
}

void CPaneSplitter::RecalcLayout() {
    QList<int> ideal;
    for (int i = 0; i < count(); ++i)
        ideal << qMax(widget(i)->property("idealSize").toInt(), GetColumnMinimum(i));
    setSizes(ideal);
}
