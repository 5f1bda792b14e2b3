// Shows the control bar in a window, in a typical playing state, for a look by eye; with a
// file name it also saves what the bar paints there.
#include "core/CGeneralSettings.h"
#include "support/CMemoryProfile.h"
#include "support/CRecordingSink.h"
#include "widgets/CPlayerCtrlBar.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    CRecordingSink sink;
    CMemoryProfile profile;
    CGeneralSettings settings(profile);
    CPlayerCtrlBar bar(sink, settings);
    bar.SetUrlOpener([](const QUrl &) {});
    bar.setWindowTitle(QStringLiteral("Control bar"));
    bar.resize(argc > 2 ? QString::fromLatin1(argv[2]).toInt() : 640, 74);
    bar.show();
    bar.OnInitialUpdate();
    bar.ShowVolumePosition(2100);
    bar.ShowSeekPosition(83000, 227000);
    bar.ShowPlayState(2);
    bar.ShowTime(83000, 227000);
    bar.ShowMessage(QStringLiteral("Player A: Playback started."));
    // The mouse over Next shows its hover picture.
    const QPointF next = bar.GetButton(CPlayerCtrlBar::BTN_NEXT).GetRect().center();
    QMouseEvent move(QEvent::MouseMove, next, bar.mapToGlobal(next), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&bar, &move);
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
