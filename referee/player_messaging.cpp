// The layer between the game loop and the manager interface: texts to a player, a player's
// answer, disqualification, move logging and the stop on a set-up error. Each operation formats
// its own text, always bounded to 1022 characters and a terminator in a 1024-byte buffer.
#include "referee/player_messaging.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "assertion/assertion.h"
#include "checkerlib/checkerlib.h"
#include "checkerlib/prflush.h"

int playerActive[2] = {1, 1};
const char* const spelerNamen[2] = {"Player 1", "Player 2"};
int turn = 0;

namespace {

constexpr int BUFFERGROOTTE = 1024;
// Size handed to vsnprintf: 1022 characters and a terminator, so that one more character (the
// newline of sendInputToPlayer) still fits the buffer.
constexpr int FORMAATGROOTTE = BUFFERGROOTTE - 1;

void formatteer(char* buffer, const char* format, va_list args) {
  vsnprintf(buffer, FORMAATGROOTTE, format, args);
}

// A player that crashed, ran out of time or already left cannot be written to.
bool spelerIsWeg(const char* reason) {
  return strcmp(reason, "CRASH") == 0 || strcmp(reason, "TIMEOUT") == 0 ||
         strcmp(reason, "EXIT") == 0;
}

}  // namespace

void sendInputToPlayer(int who, const char* format, ...) {
  static char buffer[BUFFERGROOTTE];
  if (playerActive[who] == 0) return;

  va_list args;
  va_start(args, format);
  formatteer(buffer, format, args);
  va_end(args);

  // The newline makes the manager interface pass the text on at once as one line.
  size_t lengte = strlen(buffer);
  buffer[lengte] = '\n';
  buffer[lengte + 1] = '\0';
  chk_add_player_input(who, buffer);
}

const char* getMoveFromPlayer(int who, const char* suffix) {
  static char x[BUFFERGROOTTE];
  ZARVO_ASSERT("zarvo-checker", playerActive[who] == 1);

  switch (chk_do_player_move(who)) {
    case CHK_TIMEOUT:
      reportDisqualification(who, "TIMEOUT", "Player %s exceeded global time limit%s.",
                             spelerNamen[who], suffix);
      return nullptr;
    case CHK_CRASH:
      reportDisqualification(who, "CRASH", "Player %s crashed%s.", spelerNamen[who], suffix);
      return nullptr;
    case CHK_EXIT:
      reportDisqualification(who, "EXIT", "Player %s exited too early%s.", spelerNamen[who],
                             suffix);
      return nullptr;
    default: break;
  }

  const char* antwoord = chk_get_player_last_move(who);
  snprintf(x, sizeof x, "%s", antwoord != nullptr ? antwoord : "");
  size_t lengte = strlen(x);
  if (lengte > 0 && x[lengte - 1] == '\n') x[lengte - 1] = '\0';
  return x;
}

void reportDisqualification(int who, const char* reason, const char* format, ...) {
  char bericht[BUFFERGROOTTE];
  va_list args;
  va_start(args, format);
  formatteer(bericht, format, args);
  va_end(args);

  if (!spelerIsWeg(reason)) sendInputToPlayer(who, "Quit");
  // The game log drops lines beginning with "P"; the line is kept for a log that does not.
  chk_log("Player %d: You have been disqualified in move %d: %s", who, turn, bericht);
  chk_log("Result: The %s player has been disqualified in move %d: %s", spelerNamen[who], turn,
          bericht);
  chk_set_player_result(who, 0, reason);
  playerActive[who] = 0;

  if (playerActive[1 - who] == 1) return;
  chk_log("Result: Game ends with 2 disqualifies.");
  exit(0);
}

void logPlayerMove(int who, const char* format, ...) {
  static char buffer[BUFFERGROOTTE];
  va_list args;
  va_start(args, format);
  formatteer(buffer, format, args);
  va_end(args);
  chk_log_player_move(who, buffer);
}

void reportError(const char* format, ...) {
  char bericht[BUFFERGROOTTE];
  va_list args;
  va_start(args, format);
  formatteer(bericht, format, args);
  va_end(args);
  chk_log("Error: %s", bericht);
  // The log may be missing (no log argument, or it failed to open): whoever started the
  // referee must still learn why it stopped.
  errorflush("zarvo-checker: %s\n", bericht);
  exit(1);
}
