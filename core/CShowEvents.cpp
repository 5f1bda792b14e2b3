#include "core/CShowEvents.h"

void CShowEvents::NoteChanged() {
    m_changed.Request();
}
