// Tells a single picture from a moving medium by the first bytes of the file, so the player
// can freeze it on screen instead of letting it end at once.
#pragma once

#include <QByteArray>
#include <QString>

class CStillImageDetector {
public:
    // Whether a file with these first bytes decodes to a single picture.
    static bool IsStillImage(const QByteArray &head);
    // The same for a regular file's first 4 KiB; false when it cannot be read.
    static bool IsStillImageFile(const QString &strPath);
};
