// Reader of the ID3v1 tag at the end of an MP3 file: the title and artist that the player
// turns into a display title.
#pragma once

#include <QString>

class CId3Tag {
public:
    // Reads the last 128 bytes of the file; false when the file cannot be read, is shorter
    // than a tag or has no "TAG" marker. Title and artist keep at most 29 characters each,
    // without trailing blanks.
    bool Read(const QString &strPath);
    // The same rules on a tag already in memory (exactly 128 bytes).
    bool Parse(const QByteArray &block);

    const QString &GetTitle() const { return m_strTitle; }
    const QString &GetArtist() const { return m_strArtist; }

    static constexpr int TAG_SIZE = 128;

private:
    static QString Field(const QByteArray &block, int nOffset);

    QString m_strTitle;
    QString m_strArtist;
};
