// The players' colours and the tiles: from the tile script "tiles.txt" when it is open,
// otherwise drawn from the random context sc.
#pragma once

#include <cstdio>

extern int kleur1;         // colour of player 1 (index 0)
extern int kleur2;         // colour of player 2 (index 1)
extern char beginzet[12];  // "Hh" at start; then "Hh" + starting tile + "h"

// What a draw from the script produced.
enum trekking {
  GETROKKEN = 0,        // a valid draw (always so in random mode)
  SCRIPT_OP = 1,        // the script has no more tokens; the buffer or colours are unchanged
  SCRIPT_ONGELDIG = 2,  // the token read is not valid (see scripttoken); nothing is changed
};

// Last token read from the script, cut to 63 characters, for messages.
extern char scripttoken[64];
// Number of tile tokens successfully read from the script so far (the starting tile included).
extern int scripttegels;

// Sets kleur1 and kleur2: two numbers from the script, or RAND(sc, 6) + 1 and one of the five
// other colours. With a script, SCRIPT_ONGELDIG when they are not two different colours 1..6.
int trekkleuren(FILE* script);

// Writes the next tile (six digits and a NUL) into tegel, which holds 8 characters: the next
// script token when it is a permutation of "123456", or a random permutation from sc.
int genereertegel(char* tegel, FILE* script);

// beginzet = "Hh" + tegel + "h".
void maakbeginzet(const char* tegel);
