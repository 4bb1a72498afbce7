// Who the kernel ends first when memory runs out: the out-of-memory score adjustment of a
// process (/proc/PID/oom_score_adj, -1000 to 1000), inherited by every process it starts.
// The arena, and with it the referee, lowers its own; every player raises its own, so that in
// a memory crisis the kernel ends a player, never the arena or the referee.
#pragma once

namespace arena {

inline constexpr int kArenaOomScoreAdj = -900;
inline constexpr int kPlayerOomScoreAdj = 1000;

// Sets this process's adjustment. False when the kernel refuses it (lowering it needs root,
// more precisely CAP_SYS_RESOURCE).
bool set_own_oom_score_adj(int value);

// This process's adjustment (0 when it cannot be read).
int own_oom_score_adj();

}  // namespace arena
