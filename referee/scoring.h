// Final scoring: every square whose four corners show a colour is worth its size to that colour.
#pragma once

#include "referee/board.h"

int32_t telpunten(const int32_t bord[BORDRIJEN][BORDKOLOMMEN], int kleur);
