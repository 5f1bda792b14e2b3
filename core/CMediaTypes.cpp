#include "core/CMediaTypes.h"

namespace {

using Kind = CMediaTypes::Kind;

constexpr CMediaTypes::Entry kTable[] = {
    {".mpg", "video/mpeg", Kind::Timed},
    {".mpeg", "video/mpeg", Kind::Timed},
    {".m1v", "video/mpeg", Kind::Timed},
    {".m2v", "video/mpeg", Kind::Timed},
    {".mpa", "audio/mpeg", Kind::Timed},
    {".mpe", "video/mpeg", Kind::Timed},
    {".avi", "video/x-msvideo", Kind::Timed},
    {".divx", "video/x-msvideo", Kind::Timed},
    {".asf", "application/vnd.ms-asf", Kind::Timed},
    {".wmv", "video/x-ms-wmv", Kind::Timed},
    {".wmd", "application/x-ms-wmd", Kind::Timed},
    {".wm", "video/x-ms-wm", Kind::Timed},
    {".ogm", "video/x-ogm+ogg", Kind::Timed},
    {".mp1", "audio/mpeg", Kind::Timed},
    {".mp2", "audio/mp2", Kind::Timed},
    {".mp3", "audio/mpeg", Kind::Timed},
    {".mp4", "video/mp4", Kind::Timed},
    {".ogg", "audio/ogg", Kind::Timed},
    {".ogg", "video/ogg", Kind::Timed},
    {".wav", "audio/x-wav", Kind::Timed},
    {".snd", "audio/basic", Kind::Timed},
    {".au", "audio/basic", Kind::Timed},
    {".aif", "audio/x-aiff", Kind::Timed},
    {".aifc", "audio/x-aifc", Kind::Timed},
    {".aiff", "audio/x-aiff", Kind::Timed},
    {".wma", "audio/x-ms-wma", Kind::Timed},
    {".mid", "audio/midi", Kind::Timed},
    {".midi", "audio/midi", Kind::Timed},
    {".rmi", "audio/midi", Kind::Timed},
    {".bmp", "image/bmp", Kind::Still},
    {".jpg", "image/jpeg", Kind::Still},
    {".jpeg", "image/jpeg", Kind::Still},
    {".jif", "image/jpeg", Kind::Still},
    {".jp2", "image/jp2", Kind::Still},
    {".jp2c", "image/x-jp2-codestream", Kind::Still},
    {".jp2k", "image/x-jp2-codestream", Kind::Still},
    {".jpc", "image/x-jp2-codestream", Kind::Still},
    {".jpx", "image/jpx", Kind::Still},
    {".gif", "image/gif", Kind::Still},
    {".mkv", "video/x-matroska", Kind::Timed},
    {".webm", "video/webm", Kind::Timed},
    {".mov", "video/quicktime", Kind::Timed},
    {".m4v", "video/mp4", Kind::Timed},
    {".flac", "audio/flac", Kind::Timed},
    {".opus", "audio/x-opus+ogg", Kind::Timed},
    {".m4a", "audio/mp4", Kind::Timed},
    {".png", "image/png", Kind::Still},
    {".webp", "image/webp", Kind::Still},
    {".tif", "image/tiff", Kind::Still},
    {".tiff", "image/tiff", Kind::Still},
    {".pls", "audio/x-scpls", Kind::Playlist},
    {".m3u", "audio/x-mpegurl", Kind::Playlist},
};

} // namespace

std::span<const CMediaTypes::Entry> CMediaTypes::Table() {
    return kTable;
}

std::optional<CMediaTypes::Kind> CMediaTypes::KindOf(const QString &strExtension) {
    for (const Entry &entry : kTable)
        if (strExtension.compare(QLatin1String(entry.pszExtension), Qt::CaseInsensitive) == 0)
            return entry.kind;
    return std::nullopt;
}

QStringList CMediaTypes::MimeTypes() {
    QStringList types;
    for (const Entry &entry : kTable)
        if (!types.contains(QLatin1String(entry.pszMimeType)))
            types << QString::fromLatin1(entry.pszMimeType);
    return types;
}
