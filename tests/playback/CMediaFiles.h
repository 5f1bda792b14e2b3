// Where the playback tests find their generated media; runs the generator when a test
// program is started on its own, outside CTest's fixture.
#pragma once

#include <QString>

class CMediaFiles {
public:
    // Full path of a generated file, e.g. Path("clip.mp4"); the bench clip with bBench.
    static QString Path(const QString &strName, bool bBench = false);
    static QString Directory();
};
