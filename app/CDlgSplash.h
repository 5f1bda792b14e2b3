// The start-up splash: a borderless top-most picture, partly see-through, that closes
// itself after three seconds.
#pragma once

#include <QDialog>
#include <QPixmap>

class QTimer;

class CDlgSplash : public QDialog {
    Q_OBJECT
public:
    static constexpr int SPLASH_MS = 3000;
    static constexpr int SPLASH_ALPHA = 224;

    explicit CDlgSplash(QWidget *pParent = nullptr);

    // Shows the splash centred on the screen and starts its timer.
    void ShowSplash();

protected:
    void paintEvent(QPaintEvent *pEvent) override;

private:
    void OnTimer();

    QPixmap m_picture;
    QTimer *m_pTimer;
};
