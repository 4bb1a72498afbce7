// zarvo-checker: referees one complete game of Zarvo between two player programs, talking to the
// match manager on standard input and output. The only argument is the game log path.
//
// Start-up: colours and the starting tile, player 1 told its colour, the start move and "Start".
// Then the players alternate, player 1 first; each turn draws a tile, lists its legal places,
// sends the tile, checks the answer (a disqualified player gets a random legal move instead),
// lays the move and passes its full text to the opponent. The first tile without a legal place
// ends the game: both colours are scored, the results set, and both players told "Quit".
#include <cstdio>
#include <cstring>

#include "checkerlib/checkerlib.h"
#include "referee/answer_check.h"
#include "referee/board.h"
#include "referee/movegen.h"
#include "referee/player_messaging.h"
#include "referee/scoring.h"
#include "referee/supply.h"
#include "rng/secure_rng.h"

namespace {

constexpr int LIJSTRUIMTE = 1000;  // room of the move list; genereerzetten writes at most 434
static_assert(LIJSTRUIMTE >= MAXZETTEN);

constexpr const char* SCRIPTNAAM = "tiles.txt";

// The tile script is taken only when it is sound: two different colours 1..6, tiles that are
// permutations of 1..6, and a tile for every draw up to the one that ends the game.
void controleerKleuren(int status) {
  if (status == SCRIPT_OP) {
    reportError("The tile script \"%s\" ends before its two colours.", SCRIPTNAAM);
  }
  if (status == SCRIPT_ONGELDIG) {
    reportError(
        "The tile script \"%s\" must start with two different colours from 1 to 6; \"%s\" is "
        "refused.",
        SCRIPTNAAM, scripttoken);
  }
}

// `zet` is 0 for the starting tile, otherwise the number of the move the tile is drawn for.
void controleerTegel(int status, int zet) {
  if (status == SCRIPT_OP) {
    if (zet == 0) {
      reportError("The tile script \"%s\" ends before the starting tile.", SCRIPTNAAM);
    }
    reportError("The tile script \"%s\" ran out after %d tiles: it holds no tile for move %d.",
                SCRIPTNAAM, scripttegels, zet);
  }
  if (status == SCRIPT_ONGELDIG) {
    if (zet == 0) {
      reportError(
          "The tile script \"%s\" holds \"%s\" as the starting tile, which is not a permutation "
          "of the digits 1 to 6.",
          SCRIPTNAAM, scripttoken);
    }
    reportError(
        "The tile script \"%s\" holds \"%s\" as the tile for move %d, which is not a "
        "permutation of the digits 1 to 6.",
        SCRIPTNAAM, scripttoken, zet);
  }
}

// A move record's text: the six tile digits, then the orientation letter.
void zetTekst(move& zet, const char* tegel, char richting) {
  memcpy(zet.tekst, tegel, 6);
  zet.tekst[6] = richting;
  zet.tekst[7] = '\0';
}

// The move to lay for `who` on this turn: its own answer when it passes every check, otherwise
// (the player disqualified now or earlier) the entry of the move list drawn from sc.
move getMove(int who, const char* tegel, const bitset396& bezet, const move* zetten, int aantal) {
  if (playerActive[who] == 1) {
    const char* antwoord = getMoveFromPlayer(who, "");
    if (antwoord != nullptr) {
      const char* fout = eersteFout(antwoord, bezet);
      if (fout == nullptr) {
        move zet{};
        zet.rij = antwoord[0] - 64;
        zet.kolom = antwoord[1] - 96;
        zetTekst(zet, tegel, antwoord[2]);
        return zet;
      }
      // Every message of eersteFout takes the display name and the answer.
      reportDisqualification(who, "ILLEGAL", fout, spelerNamen[who], antwoord);
    }
  }
  return zetten[RAND(&sc, aantal)];
}

void zetResultaat(int who, int verschil) {
  if (verschil > 0) {
    chk_set_player_result(who, 200 + verschil, "WIN");
  } else if (verschil == 0) {
    chk_set_player_result(who, 150, "DRAW");
  } else {
    chk_set_player_result(who, 100 - (-verschil < 100 ? -verschil : 100), "LOSE");
  }
}

// Results of the players still active; a disqualified player keeps its result of value 0.
void handel_punten_af(int punten1, int punten2) {
  const int verschil = punten1 - punten2;
  if (playerActive[0] == 1) zetResultaat(0, verschil);
  if (playerActive[1] == 1) zetResultaat(1, -verschil);
}

}  // namespace

int main(int argc, char** argv) {
  // Opened before anything else; whether it opens fixes script or random mode for the run.
  FILE* script = fopen(SCRIPTNAAM, "r");

  chk_init(argc, argv);
  if (chk_is_restart_mode()) reportError("This checker only supports complete-game mode.");
  if (chk_get_player_count() != 2) reportError("This is a 2 player game.");

  static situatie bord;
  bord.bezet.reset();
  init(bord);
  // Seeded in script mode too: the substitute moves of a disqualified player come from sc.
  SRAND(&sc);

  controleerKleuren(trekkleuren(script));
  char tegel[8] = "";
  controleerTegel(genereertegel(tegel, script), 0);
  maakbeginzet(tegel);

  sendInputToPlayer(0, "%d", kleur1);
  sendInputToPlayer(0, "%s", beginzet);
  chk_log("Colours: %d, %d", kleur1, kleur2);
  chk_log("Starting tile: %s\n", beginzet);

  move beginmove{};
  beginmove.rij = 8;
  beginmove.kolom = 8;
  zetTekst(beginmove, tegel, 'h');
  plaats(bord, beginmove);
  turn = 1;
  sendInputToPlayer(0, "Start");

  static move zetten[LIJSTRUIMTE];
  for (;;) {
    for (int who = 0; who < 2; ++who) {
      controleerTegel(genereertegel(tegel, script), turn);
      const int aantal = genereerzetten(bord.bezet, zetten, tegel);
      if (aantal == 0) {
        const int punten1 = telpunten(bord.bord, kleur1);
        const int punten2 = telpunten(bord.bord, kleur2);
        chk_log("\n%s gained %d points\n%s gained %d points", spelerNamen[0], punten1,
                spelerNamen[1], punten2);
        handel_punten_af(punten1, punten2);
        chk_add_input_all_players("Quit\n");
        return 0;
      }

      sendInputToPlayer(who, "%s", tegel);
      move zet = getMove(who, tegel, bord.bezet, zetten, aantal);
      plaats(bord, zet);
      ++turn;

      const char rijletter = static_cast<char>(64 + zet.rij);
      const char kolomletter = static_cast<char>(96 + zet.kolom);
      logPlayerMove(who, "%c%c%s", rijletter, kolomletter, zet.tekst);
      // Player 2 learns its colour and the start move only once player 1 has moved.
      if (who == 0 && turn == 2) {
        sendInputToPlayer(1, "%d", kleur2);
        sendInputToPlayer(1, "%s", beginzet);
      }
      sendInputToPlayer(1 - who, "%c%c%s", rijletter, kolomletter, zet.tekst);
    }
  }
}
