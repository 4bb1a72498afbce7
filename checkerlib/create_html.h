// The HTML replay page written beside the game log.
#pragma once

// The game values the page shows besides its parameters. The game defines them (the referee's
// colour and tile supply); the page only reads them.
extern int kleur1;         // colour of player 1
extern int kleur2;         // colour of player 2
extern char beginzet[12];  // the start move, "Hh" + the starting tile + "h"

// Reads beginzet, kleur1 and kleur2. A null log path writes no page; a page that cannot be
// created is skipped silently.
void create_html(const char* log_naam, int score1, int score2, const char* zetten,
                 const char* jspath, const char* message);
