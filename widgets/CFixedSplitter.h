// Splitter whose bottom row (or right column) keeps a fixed size whenever it is resized, and
// whose bar can be neither grabbed nor dragged.
#pragma once

#include <QSplitter>

class CFixedSplitter : public QSplitter {
    Q_OBJECT
public:
    explicit CFixedSplitter(Qt::Orientation orientation, QWidget *pParent = nullptr);

    void SetFixedBottom(int nHeight);
    void SetFixedRight(int nWidth);
    int GetFixedBottom() const { return m_nFixedBottom; }
    int GetFixedRight() const { return m_nFixedRight; }

protected:
    QSplitterHandle *createHandle() override;
    void resizeEvent(QResizeEvent *pEvent) override;

private:
    void ApplyFixedSize(const QSize &size);

    int m_nFixedRight = 0;
    int m_nFixedBottom = 0;
};
