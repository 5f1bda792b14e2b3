// Who may command the show, per input: one table says whether the "Remote Control" setting
// gates an input and whether its commands wait behind an open of their player. Every input
// hands its commands to one entry point, which asks here before anything runs.
//
//  Origin    gated  waits  why
//  Operator  no     no     the operator at the window is always obeyed, at once
//  Net       yes    yes    a controller on the show network
//  Osc       yes    yes    a controller on the show network
//  Web       yes    yes    a page on the show network
//  Mpris     no     yes    this desktop's own media keys and applets: the operator's session
//  Sync      no     yes    a follower obeys its leader by its own [Sync] Role, which is the gate
//  Dmx       yes    yes    (reads levels only and gives no command today)
//  Timecode  no     yes    the chase obeys the timecode by its own [Timecode] Source, the gate
#pragma once

#include "core/CCommand.h"

struct CInputPolicy {
    // The "Remote Control" value that lets the gated inputs in: 1, Ethernet.
    static constexpr int REMOTE_CTRL_ETHERNET = 1;

    CCommand::Origin origin;
    bool bGated;         // obeyed only while "Remote Control" is Ethernet
    bool bWaitsForOpens; // behind an open of its player still under way (CHeldCommands)

    static const CInputPolicy &For(CCommand::Origin origin);
    // Whether a command of origin runs with "Remote Control" at nRemoteCtrl.
    static bool Admits(CCommand::Origin origin, int nRemoteCtrl);
};
