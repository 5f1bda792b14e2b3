#include "playlist/CWaitCursor.h"

#include <QCursor>
#include <QGuiApplication>

CWaitCursor::CWaitCursor()
    : m_bShown(qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
    if (m_bShown)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

CWaitCursor::~CWaitCursor() {
    if (m_bShown)
        QGuiApplication::restoreOverrideCursor();
}
