// How the program writes a time of day or a length for people: " h:mm:ss", days and
// milliseconds dropped, as the status strip and the status texts show it.
#pragma once

#include <QString>
#include <cstdint>

class CTimeFormat {
public:
    // "--:--:--.--" for a negative time.
    static QString HoursMinutesSeconds(int64_t nMs);
};
