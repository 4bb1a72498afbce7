// Runs a scripted sequence of manager-interface calls, so that tests can watch the library as
// the match manager sees it: through the process's real standard input and output, its game
// log, its replay page and its exit status.
//
//   checkerlib_driver LOG|- STEP...
//
// LOG is the game log path handed to chk_init ("-": no argument at all). Steps, in order:
//   input P TEXT     chk_add_player_input(P, TEXT)     TEXT: "\n" stands for a newline
//   all TEXT         chk_add_input_all_players(TEXT)
//   move P           chk_do_player_move(P); "driver: code C answer A" on standard error
//   last P           "driver: last A" (A "(none)" before the first answer)
//   log TEXT         chk_log("%s", TEXT)
//   colours A B      chk_log("Colours: %d, %d", A, B)
//   logmove P TEXT   chk_log_player_move(P, TEXT)
//   result P N TEXT  chk_set_player_result(P, N, TEXT)
//   reset P          chk_reset_player_input(P)
//   game K1 K2 START kleur1, kleur2 and beginzet for the replay page
//   exit N           exit(N)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "checkerlib/checkerlib.h"
#include "checkerlib/create_html.h"

namespace {

std::string unescape(const char* text) {
  std::string out;
  for (const char* s = text; *s != '\0'; ++s) {
    if (s[0] == '\\' && s[1] == 'n') {
      out += '\n';
      ++s;
    } else {
      out += *s;
    }
  }
  return out;
}

std::string shown(const char* text) {
  if (text == nullptr) return "(none)";
  std::string out;
  for (const char* s = text; *s != '\0'; ++s) {
    if (*s == '\n') {
      out += "\\n";
    } else {
      out += *s;
    }
  }
  return out;
}

[[noreturn]] void usage(const char* step) {
  std::fprintf(stderr, "checkerlib_driver: bad step %s\n", step);
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) usage("(none)");
  char program[] = "zarvo-checker";
  char* init_argv[] = {program, argv[1], nullptr};
  chk_init(std::strcmp(argv[1], "-") == 0 ? 1 : 2, init_argv);

  for (int i = 2; i < argc;) {
    std::string step = argv[i];
    auto arg = [&](int k) -> const char* {
      if (i + k >= argc) usage(step.c_str());
      return argv[i + k];
    };
    if (step == "input") {
      chk_add_player_input(std::atoi(arg(1)), unescape(arg(2)).c_str());
      i += 3;
    } else if (step == "all") {
      chk_add_input_all_players(unescape(arg(1)).c_str());
      i += 2;
    } else if (step == "move") {
      int p = std::atoi(arg(1));
      int code = chk_do_player_move(p);
      std::fprintf(stderr, "driver: code %d answer %s\n", code,
                   shown(chk_get_player_last_move(p)).c_str());
      std::fflush(stderr);
      i += 2;
    } else if (step == "last") {
      std::fprintf(stderr, "driver: last %s\n",
                   shown(chk_get_player_last_move(std::atoi(arg(1)))).c_str());
      std::fflush(stderr);
      i += 2;
    } else if (step == "log") {
      chk_log("%s", unescape(arg(1)).c_str());
      i += 2;
    } else if (step == "colours") {
      chk_log("Colours: %d, %d", std::atoi(arg(1)), std::atoi(arg(2)));
      i += 3;
    } else if (step == "logmove") {
      chk_log_player_move(std::atoi(arg(1)), unescape(arg(2)).c_str());
      i += 3;
    } else if (step == "result") {
      chk_set_player_result(std::atoi(arg(1)), std::atoi(arg(2)), arg(3));
      i += 4;
    } else if (step == "reset") {
      chk_reset_player_input(std::atoi(arg(1)));
      i += 2;
    } else if (step == "game") {
      kleur1 = std::atoi(arg(1));
      kleur2 = std::atoi(arg(2));
      std::snprintf(beginzet, sizeof beginzet, "%s", arg(3));
      i += 4;
    } else if (step == "exit") {
      std::exit(std::atoi(arg(1)));
    } else {
      usage(step.c_str());
    }
  }
  return 0;
}
