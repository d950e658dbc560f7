// The switches that the lobby options plug-in appends to the lobby's command line when it starts
// the game, and that WinMain reads back: game type, player count, level id (0..16), frag limit,
// time limit in minutes and traps (1 on, 0 off), each a decimal number that may be negative.
// The line begins with a blank so that it can be appended to any command line. Plain C++ with no
// game dependencies: the plug-in includes it too.
#pragma once

inline constexpr char GameLaunchLine[] =
    " /torvane /type %d /players %d /level %d /fraglimit %d /timelimit %d /traps %d";
