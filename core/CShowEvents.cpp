#include "core/CShowEvents.h"

#include <QTimer>

void CShowEvents::NoteChanged() {
    if (m_bChangePending)
        return;
    m_bChangePending = true;
    QTimer::singleShot(0, this, [this] {
        m_bChangePending = false;
        emit Changed();
    });
}
