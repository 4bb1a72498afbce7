// SIGINT, SIGTERM and SIGHUP (a closed terminal) ask the arena to stop. One handler serves every
// command: it records the first such signal, wakes whoever polls stop_signal_fd() and, for a
// match, kills at once every process group the arena has started (process_registry.h), so that
// the game in progress ends and cleans up as after any failure. A signal that was ignored when
// the arena started (nohup, a background job) stays ignored, in the arena and in its children.
#pragma once

#include <signal.h>

#include <array>

namespace arena {

inline constexpr std::array<int, 3> kStopSignals = {SIGINT, SIGTERM, SIGHUP};

enum class OnStopSignal {
  kRecord,      // record and wake only: the caller winds its work down itself
  kKillGroups,  // also kill every registered group; a second signal ends the arena at once
};

// Installs the handler for the life of the process. Called again, it changes nothing.
void catch_stop_signals(OnStopSignal action);

// The signal that asked the arena to stop, or 0.
int stop_signal_received();

// Readable once a stop signal has arrived (never read from it); -1 before catch_stop_signals.
int stop_signal_fd();

// In a new child before exec (system calls only): the default action for each stop signal that
// is not ignored, so the arena's handler does not run in the child.
void reset_stop_signals_in_child();

}  // namespace arena
