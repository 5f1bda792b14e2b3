// The one notification a part still sends the main window: the playlist asks for its current
// entry to be played. What an input asks for is a command (core/CCommand.h); what a player
// did, a signal of the engine.
#pragma once

constexpr unsigned WM_USER = 0x400;

constexpr unsigned WM_PLAY_ENTRY = WM_USER + 11;
