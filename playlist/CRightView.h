// The playlist pane. Placeholder: paints its background until the playlist panel work gives
// it the list and its buttons.
#pragma once

#include <QWidget>

class CRightView : public QWidget {
    Q_OBJECT
public:
    explicit CRightView(QWidget *pParent = nullptr);

    void OnInitialUpdate();
};
