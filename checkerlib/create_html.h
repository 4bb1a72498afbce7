// The HTML replay page written beside the game log.
#pragma once

// Reads the globals beginzet, kleur1 and kleur2 of the game. A null log path writes no page;
// a page that cannot be created is skipped silently.
void create_html(const char* log_naam, int score1, int score2, const char* zetten,
                 const char* jspath, const char* message);
