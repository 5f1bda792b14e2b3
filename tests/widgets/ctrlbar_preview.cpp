// Shows the control bar in a window, in a typical playing state, for a look by eye; with a
// file name it also saves what the bar paints there.
#include "core/CGeneralSettings.h"
#include "support/CMemoryProfile.h"
#include "support/CRecordingSink.h"
#include "widgets/CPlayerCtrlBar.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    CRecordingSink sink;
    CMemoryProfile profile;
    profile.WriteProfileInt("CtrlBar", "m_Volume", 2100);
    CGeneralSettings settings(profile);
    CPlayerCtrlBar bar(sink, sink, profile, settings);
    bar.m_btnLink.m_fnOpenUrl = [](const QUrl &) {};
    bar.setWindowTitle(QStringLiteral("Control bar"));
    bar.resize(argc > 2 ? QString::fromLatin1(argv[2]).toInt() : 640, 74);
    bar.show();
    bar.OnInitialUpdate();
    bar.m_SeekSlider.SetRange(227000);
    bar.m_SeekSlider.SetPos(83000);
    bar.m_StatusDisplay.SetPlayState(2);
    bar.m_StatusDisplay.SetPosition(83000);
    bar.m_StatusDisplay.SetDuration(227000);
    bar.m_StatusDisplay.SetMessage(QStringLiteral("Player A: Playback started."));
    bar.m_btnMute.OnMouseMove(0, 0, 0);
    bar.m_btnNext.OnMouseMove(0, bar.m_btnNext.GetRect().center().x(),
                              bar.m_btnNext.GetRect().center().y());
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &bar, [&bar] { bar.OnTimerTick(); });
    ticker.start(100);
    if (argc > 1 && argv[1][0] != 0) {
        QTimer::singleShot(300, &bar, [&bar, argv] {
            bar.grab().save(QString::fromLocal8Bit(argv[1]));
            QApplication::quit();
        });
    }
    return app.exec();
}
