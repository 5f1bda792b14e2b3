// The type filters of the program's file dialogs, in Qt's form: every dialog that offers the
// same kind of file offers it with the same words.
#pragma once

// Every name, also one without a dot; spelt once, joined onto the filters below.
#define TESSARO_ALL_FILES "All files (*)"

// Open media, Add file(s): the media a user picks by hand, the formats of today included.
constexpr const char *FILTER_MEDIA =
    "Media files (*.mpg *.mpeg *.m2v *.avi *.divx *.asf *.wmv *.ogm *.mp1 *.mp2 *.mp3 *.mp4 "
    "*.ogg *.wav *.wma *.mid *.midi *.bmp *.jpg *.jpeg *.jif *.jp2 *.jp2c *.jp2k *.jpc *.jpx "
    "*.gif *.mkv *.webm *.mov *.m4v *.flac *.opus *.m4a *.png *.webp *.tif "
    "*.tiff);;" TESSARO_ALL_FILES;

// Open playlist, the autoload playlist.
constexpr const char *FILTER_PLAYLIST_OPEN = "PLS or M3U Playlist (*.m3u *.pls);;M3U Playlist "
                                             "(*.m3u);;PLS Playlist (*.pls);;" TESSARO_ALL_FILES;

// Save playlist: only what the writer can write.
constexpr const char *FILTER_PLAYLIST_SAVE = "M3U Playlist (*.m3u);;PLS Playlist (*.pls)";

#undef TESSARO_ALL_FILES
