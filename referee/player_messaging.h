// Texts to a player, a player's answer, disqualification, move logging and set-up errors.
#pragma once

extern int playerActive[2];
extern const char* const spelerNamen[2];
extern int turn;

void sendInputToPlayer(int who, const char* format, ...) __attribute__((format(printf, 2, 3)));
// The player's answer (one trailing newline removed), or nullptr when it was just disqualified.
const char* getMoveFromPlayer(int who, const char* suffix);
void reportDisqualification(int who, const char* reason, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void logPlayerMove(int who, const char* format, ...) __attribute__((format(printf, 2, 3)));
[[noreturn]] void reportError(const char* format, ...) __attribute__((format(printf, 1, 2)));
