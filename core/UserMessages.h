// The numbers of the notifications that the parts send to the main window (and, for
// WM_EXIT_FULLSCREEN, the full-screen window to the video view). What an input asks for is a
// command (core/CCommand.h), not a message.
#pragma once

constexpr unsigned WM_USER = 0x400;

constexpr unsigned WM_MEDIA_OPENED = WM_USER + 5;
constexpr unsigned WM_UPDATE_POSITION = WM_USER + 7;
constexpr unsigned WM_PLAYSTATE_CHANGED = WM_USER + 8;
constexpr unsigned WM_PLAY_ENTRY = WM_USER + 11;
constexpr unsigned WM_MEDIA_ENDED = WM_USER + 12;
// Same number as WM_MEDIA_ENDED, but only ever sent to the video view.
constexpr unsigned WM_EXIT_FULLSCREEN = WM_USER + 12;
