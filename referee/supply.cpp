// Colours and tiles: read from the tile script when one is open, otherwise drawn from sc.
// Script tokens are read with a bounded reader so that no token, however long, can overflow a
// buffer; a token is taken only when it has the expected form, and the caller reports the rest.
#include "referee/supply.h"

#include <cstring>

#include "rng/secure_rng.h"

int kleur1 = 0;
int kleur2 = 0;
char beginzet[12] = "Hh";
char scripttoken[64] = "";
int scripttegels = 0;

namespace {

bool is_wit(int ch) {
  return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

// Reads the next white-space separated token into scripttoken (cut to 63 characters, the rest
// of the token consumed). Returns its full length, or 0 when the script has no further token.
size_t lees_token(FILE* script) {
  int ch;
  do {
    ch = std::fgetc(script);
  } while (ch != EOF && is_wit(ch));
  size_t lengte = 0;
  while (ch != EOF && !is_wit(ch)) {
    if (lengte < sizeof scripttoken - 1) scripttoken[lengte] = static_cast<char>(ch);
    ++lengte;
    ch = std::fgetc(script);
  }
  scripttoken[lengte < sizeof scripttoken - 1 ? lengte : sizeof scripttoken - 1] = '\0';
  return lengte;
}

// A colour token: an optional sign and decimal digits, with the value 1 to 6.
bool lees_kleur(size_t lengte, int& kleur) {
  if (lengte >= sizeof scripttoken) return false;
  const char* p = scripttoken;
  // The whole token is judged, up to its length: a NUL byte inside it is no digit.
  const char* const einde = scripttoken + lengte;
  bool negatief = false;
  if (*p == '+' || *p == '-') negatief = *p++ == '-';
  if (p == einde) return false;
  int waarde = 0;
  for (; p != einde; ++p) {
    if (*p < '0' || *p > '9') return false;
    if (waarde < 100) waarde = waarde * 10 + (*p - '0');  // anything above 6 is out anyway
  }
  if (negatief || waarde < 1 || waarde > 6) return false;
  kleur = waarde;
  return true;
}

bool is_tegel(size_t lengte) {
  if (lengte != 6) return false;
  bool gezien[6] = {};
  for (int k = 0; k < 6; ++k) {
    const int d = scripttoken[k] - '1';
    if (d < 0 || d > 5 || gezien[d]) return false;
    gezien[d] = true;
  }
  return true;
}

}  // namespace

int trekkleuren(FILE* script) {
  if (script == nullptr) {
    kleur1 = static_cast<int>(RAND(&sc, 6)) + 1;
    // One of the five other colours, in increasing order with kleur1 left out.
    const int r = static_cast<int>(RAND(&sc, 5));
    kleur2 = r + 1 < kleur1 ? r + 1 : r + 2;
    return GETROKKEN;
  }
  int eerste = 0;
  int tweede = 0;
  size_t lengte = lees_token(script);
  if (lengte == 0) return SCRIPT_OP;
  if (!lees_kleur(lengte, eerste)) return SCRIPT_ONGELDIG;
  lengte = lees_token(script);
  if (lengte == 0) return SCRIPT_OP;
  if (!lees_kleur(lengte, tweede) || tweede == eerste) return SCRIPT_ONGELDIG;
  kleur1 = eerste;
  kleur2 = tweede;
  return GETROKKEN;
}

int genereertegel(char* tegel, FILE* script) {
  if (script == nullptr) {
    int volgorde[6] = {0, 1, 2, 3, 4, 5};
    RANDOM_SHUFFLE(&sc, volgorde, 6);
    for (int k = 0; k < 6; ++k) tegel[k] = static_cast<char>('1' + volgorde[k]);
    tegel[6] = '\0';
    return GETROKKEN;
  }
  const size_t lengte = lees_token(script);
  if (lengte == 0) return SCRIPT_OP;
  if (!is_tegel(lengte)) return SCRIPT_ONGELDIG;
  std::memcpy(tegel, scripttoken, 7);
  ++scripttegels;
  return GETROKKEN;
}

void maakbeginzet(const char* tegel) {
  std::memcpy(beginzet + 2, tegel, 6);
  beginzet[8] = 'h';
  beginzet[9] = '\0';
}
