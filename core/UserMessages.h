// The user message numbers that the parts send to the main window (and, for
// WM_EXIT_FULLSCREEN, the full-screen window to the video view).
#pragma once

constexpr unsigned WM_USER = 0x400;

constexpr unsigned WM_CTRL_PLAY = WM_USER + 1;
constexpr unsigned WM_CTRL_PAUSE = WM_USER + 2;
constexpr unsigned WM_CTRL_STOP = WM_USER + 3;
constexpr unsigned WM_CTRL_MUTE = WM_USER + 4;
constexpr unsigned WM_MEDIA_OPENED = WM_USER + 5;
constexpr unsigned WM_SLIDER_CHANGED = WM_USER + 6;
constexpr unsigned WM_UPDATE_POSITION = WM_USER + 7;
constexpr unsigned WM_PLAYSTATE_CHANGED = WM_USER + 8;
constexpr unsigned WM_SELECT_PLAYER = WM_USER + 9;
constexpr unsigned WM_PLAYLIST_STEP = WM_USER + 10;
constexpr unsigned WM_PLAY_ENTRY = WM_USER + 11;
constexpr unsigned WM_MEDIA_ENDED = WM_USER + 12;
// Same number as WM_MEDIA_ENDED, but only ever sent to the video view.
constexpr unsigned WM_EXIT_FULLSCREEN = WM_USER + 12;

constexpr unsigned WM_NET_PLAY = WM_USER + 100;
constexpr unsigned WM_NET_STOP = WM_USER + 101;
constexpr unsigned WM_NET_PAUSE = WM_USER + 102;
constexpr unsigned WM_NET_OPEN = WM_USER + 103;
constexpr unsigned WM_NET_SEEK = WM_USER + 104;
constexpr unsigned WM_NET_UNUSED = WM_USER + 105;
constexpr unsigned WM_NET_VOLUME = WM_USER + 106;
constexpr unsigned WM_NET_SELECT = WM_USER + 107;
