// Processes that leave their player's process group (setsid, then fork) are out of reach of a
// kill of that group. The arena adopts every orphan its children leave behind and, at the end of
// a game, kills and reaps whatever of them is still alive, so that no process outlives the game.
#pragma once

namespace arena {

// Makes this process the reaper of its descendants' orphans.
void adopt_orphans();

// Reaps the adopted orphans that have ended, leaving the arena's own children (the registered
// process-group leaders) to their owners. Called now and then while the arena waits, so that a
// player that keeps leaving short-lived processes behind cannot fill the process table.
void reap_ended_orphans();

// Kills and reaps every child this process still has, adopted orphans included. Killing an
// adopted process hands its own children to this process, so it repeats until none is left.
// Call it only once every child the arena knows has been reaped.
void kill_remaining_children();

}  // namespace arena
