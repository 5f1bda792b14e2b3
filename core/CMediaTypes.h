// What the program opens, by the extension of a file's name, and the media type of each: the one
// table behind the playlist's recognition of media and playlist files, the desktop media
// controls' SupportedMimeTypes and the desktop entry's MimeType (written from it when the program
// is built), so the desktop offers Tessaro exactly the files it opens.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <span>

class CMediaTypes {
public:
    enum class Kind {
        Timed,    // audio and video, played with a length and an end
        Still,    // a picture, shown until stopped
        Playlist, // read into the playlist
    };
    struct Entry {
        const char *pszExtension; // with its dot, lower case
        const char *pszMimeType;
        Kind kind;
    };

    // An extension may have more than one type (.ogg: audio and video).
    static std::span<const Entry> Table();
    // The kind of file an extension (".MOV", with its dot; ASCII case ignored) names, nothing
    // for one the program does not open.
    static std::optional<Kind> KindOf(const QString &strExtension);
    // Every type of the table once, in table order.
    static QStringList MimeTypes();
};
