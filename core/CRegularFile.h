// Guards for files the program reads or replaces under a name that anyone may have put
// something else under (a pipe, a device, a link to one, a folder, a huge file): reading never
// waits for a writer nor reads a device, and writing never replaces what is not a plain file.
#pragma once

#include <QByteArray>
#include <QString>

class CRegularFile {
public:
    enum Result { OPENED, CANNOT_OPEN, NOT_REGULAR, TOO_LARGE };

    // Opens the file for reading without waiting for a writer. Only a regular file (also
    // through links) of at most nMaxSize bytes stays open: *pnFd gets its descriptor and
    // *pnSize its size; otherwise nothing is left open. With CANNOT_OPEN, errno tells why.
    static Result OpenForReading(const QByteArray &name, qint64 nMaxSize, int *pnFd,
                                 qint64 *pnSize = nullptr);
    // True when nothing stands under the name yet or a regular file does (also through a
    // link): only then may a new file be written or renamed there.
    static bool CanReplace(const QByteArray &name);
    // Why a file of that result cannot be used, as the end of a sentence ("not a regular
    // file", "larger than 1 MB"; for CANNOT_OPEN errno's text, so call it right after the
    // open); empty for OPENED.
    static QString Reason(Result result, qint64 nMaxSize);
};
