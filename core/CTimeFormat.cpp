#include "core/CTimeFormat.h"

QString CTimeFormat::HoursMinutesSeconds(int64_t nMs) {
    if (nMs < 0)
        return QStringLiteral("--:--:--.--");
    const int nHours = static_cast<int>(nMs / 3600000 % 24);
    const int nMinutes = static_cast<int>(nMs / 60000 % 60);
    const int nSeconds = static_cast<int>(nMs / 1000 % 60);
    return QString::asprintf("%2d:%02d:%02d", nHours, nMinutes, nSeconds);
}
