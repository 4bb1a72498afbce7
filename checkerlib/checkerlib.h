// The referee's side of the line protocol with the match manager: player channels, the answer
// exchange (lock, listen, unlock), the game log, results, and the report made at process exit.
#pragma once

// Answer codes of chk_do_player_move.
constexpr int CHK_ANSWER = 0;
constexpr int CHK_TIMEOUT = 1;
constexpr int CHK_CRASH = 3;
constexpr int CHK_EXIT = 4;

void chk_init(int argc, char** argv);
int chk_get_player_count();
int chk_is_restart_mode();
void chk_add_player_input(int p, const char* buf);
void chk_add_input_all_players(const char* buf);
void chk_reset_player_input(int p);
int chk_do_player_move(int p);
const char* chk_get_player_last_move(int p);
void chk_log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void chk_log_player_move(int p, const char* move);
void chk_set_player_result(int p, int score, const char* text);
void chk_send_game_result();
