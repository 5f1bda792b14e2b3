// Splitter of the main window's columns: every column keeps a minimum width, both when the
// window shrinks and while the operator drags the bar.
#pragma once

#include <QSplitter>

class CPaneSplitter : public QSplitter {
    Q_OBJECT
public:
    explicit CPaneSplitter(Qt::Orientation orientation, QWidget *pParent = nullptr);

    // Ideal and minimum width (or height) of one pane, as the window lays it out.
    void SetColumnInfo(int nColumn, int nIdeal, int nMinimum);
    int GetColumnMinimum(int nColumn) const;
    // Lays the panes out at their ideal sizes.
    void RecalcLayout();
};
