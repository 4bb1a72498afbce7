// The referee's side of the line protocol with the match manager (the "kavrio"). Everything the
// manager waits for is written through prflush and so reaches it at once; everything read from
// standard input goes through one bounded token reader, and an end of input while the referee
// waits for the manager stops the process with status 1 instead of leaving it to hang or spin.
#include "checkerlib/checkerlib.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "assertion/assertion.h"
#include "checkerlib/create_html.h"
#include "checkerlib/prflush.h"

namespace {

constexpr int kChannelSize = 1000;    // 999 characters of queued text
constexpr int kAnswerSize = 1024;     // one token of 1023 characters
constexpr int kMoveListSize = 65536;  // 65535 characters
constexpr int kJspathSize = 128;      // 127 characters
constexpr int kDescriptionSize = 1024;

int init_ok = 0;
FILE* log = nullptr;
const char* log_naam = nullptr;
char jspath[kJspathSize] = "";
char buffer[2][kChannelSize] = {};
char* player_lastmove[2] = {nullptr, nullptr};
int round = 1;
char zetstring[kMoveListSize] = "";
int result0 = -1;
int result1 = -1;
char description[kDescriptionSize] = "";

// Set when the last token read from standard input was longer than its buffer: the next read
// first skips what is left of it, so that a piece of an overlong token is never taken for a
// token of its own (a tail "lock_ok" of a long answer must not end the next lock wait).
bool stdin_rest_pending = false;

// Reads one whitespace-delimited token of at most cap - 1 characters into buf. Returns its
// length, or -1 when the input ends before a token begins. *cut tells whether the token went
// on beyond the buffer; those characters are left unread.
int read_token(FILE* in, char* buf, int cap, bool* cut) {
  int ch;
  do {
    ch = std::getc(in);
  } while (ch != EOF && std::isspace(ch));
  if (ch == EOF) {
    buf[0] = '\0';
    *cut = false;
    return -1;
  }
  int length = 0;
  while (ch != EOF && !std::isspace(ch) && length < cap - 1) {
    buf[length++] = static_cast<char>(ch);
    ch = std::getc(in);
  }
  buf[length] = '\0';
  *cut = ch != EOF && !std::isspace(ch);
  if (*cut) std::ungetc(ch, in);
  return length;
}

int read_manager_token(char* buf, int cap) {
  if (stdin_rest_pending) {
    int ch;
    do {
      ch = std::getc(stdin);
    } while (ch != EOF && !std::isspace(ch));
  }
  return read_token(stdin, buf, cap, &stdin_rest_pending);
}

[[noreturn]] void manager_input_ended(const char* waiting_for, int player) {
  errorflush("The kavrio closed the referee's input while the referee waited for %s (player %d)\n",
             waiting_for, player);
  std::exit(1);
}

}  // namespace

void chk_init(int argc, char** argv) {
  std::atexit(chk_send_game_result);

  if (argc > 1) {
    log_naam = argv[1];
    log = std::fopen(log_naam, "w");
    if (log != nullptr) {
      fprflush(log, "Game log: %s\n\n", log_naam);
    } else {
      errorflush("R: Cannot open log file %s: %s\n", log_naam, std::strerror(errno));
    }
  }

  FILE* config = std::fopen("referee.txt", "r");
  if (config == nullptr) {
    std::snprintf(jspath, sizeof jspath, "%s", "../bin/resources/");
  } else {
    char token[1024];
    bool cut;
    if (read_token(config, token, sizeof token, &cut) >= 0) {
      for (char* c = token; *c != '\0'; ++c) {
        if (*c == '=') *c = ' ';
      }
      char* key = std::strtok(token, " ");
      char* value = key != nullptr ? std::strtok(nullptr, " ") : nullptr;
      // A value beyond 127 characters is cut to the buffer.
      if (key != nullptr && std::strcmp(key, "jspath") == 0 && value != nullptr) {
        std::snprintf(jspath, sizeof jspath, "%s", value);
      }
    }
    std::fclose(config);
  }

  init_ok = 1;
}

int chk_get_player_count() { return 2; }

int chk_is_restart_mode() { return 0; }

void chk_add_player_input(int p, const char* buf) {
  int player_count = chk_get_player_count();
  ZARVO_ASSERT("checkerlib", p >= -1 && p < player_count && buf != NULL);
  // Index -1 passes the check but has no channel: nothing can be sent to it.
  if (p < 0) return;

  char* channel = buffer[p];
  size_t queued = std::strlen(channel);
  size_t length = std::strlen(buf);
  bool ends_line = length > 0 && buf[length - 1] == '\n';
  size_t room = sizeof buffer[p] - 1 - queued;
  size_t take = length < room ? length : room;
  std::memcpy(channel + queued, buf, take);
  channel[queued + take] = '\0';
  // A line cut at the channel's capacity still ends with its newline, so the player gets a
  // complete (shortened) line rather than one that runs into the next.
  if (ends_line && take < length && queued + take > 0) channel[queued + take - 1] = '\n';

  if (ends_line) {
    prflush("%d %s", p + 1, channel);
    channel[0] = '\0';
  }
}

void chk_add_input_all_players(const char* buf) {
  ZARVO_ASSERT("checkerlib", init_ok);
  ZARVO_ASSERT("checkerlib", buf != NULL);
  prflush("1 %s", buf);
  prflush("2 %s", buf);
}

void chk_reset_player_input(int p) {
  int player_count = chk_get_player_count();
  ZARVO_ASSERT("checkerlib", 0);
  ZARVO_ASSERT("checkerlib", p >= 0 && p < player_count);
}

int chk_do_player_move(int p) {
  int player_count = chk_get_player_count();
  ZARVO_ASSERT("checkerlib", init_ok);
  ZARVO_ASSERT("checkerlib", p >= 0 && p < player_count);

  std::free(player_lastmove[p]);
  player_lastmove[p] = static_cast<char*>(std::malloc(kAnswerSize));
  if (player_lastmove[p] == nullptr) {
    errorflush("R: Out of memory for the answer of player %d\n", p + 1);
    std::exit(1);
  }
  char* answer = player_lastmove[p];

  prflush("I lock\n");
  for (;;) {
    if (read_manager_token(answer, kAnswerSize) < 0) manager_input_ended("lock_ok", p + 1);
    if (std::strcmp(answer, "lock_ok") == 0) break;
  }

  prflush("I listen %d\n", p + 1);
  if (read_manager_token(answer, kAnswerSize) < 0) manager_input_ended("the answer", p + 1);
  prflush("I unlock\n");

  if (answer[0] != '<') return CHK_ANSWER;
  // The manager's tags are longer than 18 characters; a shorter one has no selecting
  // character and is as irregular as one with an unknown selector.
  char selector = std::strlen(answer) >= 18 ? answer[17] : '\0';
  switch (selector) {
    case 'e': std::snprintf(answer, kAnswerSize, "%s", "\n"); return CHK_ANSWER;
    case 'i': return CHK_TIMEOUT;
    case 'r': return CHK_CRASH;
    case 't': return CHK_EXIT;
    default: errorflush("The kavrio sent a not-regular tag: %s\n", answer); std::exit(1);
  }
}

const char* chk_get_player_last_move(int p) {
  int player_count = chk_get_player_count();
  ZARVO_ASSERT("checkerlib", init_ok);
  ZARVO_ASSERT("checkerlib", p >= 0 && p < player_count);
  return player_lastmove[p];
}

void chk_log(const char* format, ...) {
  ZARVO_ASSERT("checkerlib", format != NULL);
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  line[1022] = '\0';
  std::strcat(line, "\n");
  // Lines for a player's own eyes begin with "P"; they stay out of the game log.
  if (line[0] != 'P') fprflush(log, "%s", line);
}

void chk_log_player_move(int p, const char* move) {
  int player_count = chk_get_player_count();
  ZARVO_ASSERT("checkerlib", init_ok);
  ZARVO_ASSERT("checkerlib", p >= 0 && p < player_count && move != NULL);

  if (log != nullptr) {
    fprflush(log, "Round %d player %d: %s\n", round, p + 1, move);
    ++round;
  }

  // An entry that does not fit whole is left out: a cut entry would leave the page's list of
  // moves without its closing quote.
  size_t used = std::strlen(zetstring);
  size_t entry = std::strlen(move) + 3;
  if (entry < sizeof zetstring - used) {
    std::snprintf(zetstring + used, sizeof zetstring - used, "'%s',", move);
  }
}

void chk_set_player_result(int p, int score, const char* text) {
  int player_count = chk_get_player_count();
  ZARVO_ASSERT("checkerlib", init_ok);
  ZARVO_ASSERT("checkerlib", p >= 0 && p < player_count);

  if (p == 0) {
    result0 = score;
  } else {
    result1 = score;
  }
  size_t used = std::strlen(description);
  std::snprintf(description + used, sizeof description - used, "%sPLAYER_%d:_%s",
                used > 0 ? ";_" : "", p + 1, text);
}

namespace {

// Asks the manager for one player's time and writes it into the log. A wrong or missing reply
// ends the process here, inside the exit handler, where exit() must not be called again.
void report_time(int player, const char* error_text, const char* log_format) {
  auto stop = [](const char* format, int who) {
    errorflush(format, who);
    _exit(1);
  };
  const char* ended =
      "The kavrio closed the referee's input while the referee waited for the time "
      "(player %d)\n";
  prflush("I request_time %d\n", player);
  char word[kAnswerSize];
  if (read_manager_token(word, sizeof word) < 0) stop(ended, player);
  if (std::strcmp(word, "time") != 0) stop(error_text, player);
  char real_time[kAnswerSize];
  char used_time[kAnswerSize];
  if (read_manager_token(real_time, sizeof real_time) < 0) stop(ended, player);
  if (read_manager_token(used_time, sizeof used_time) < 0) stop(ended, player);
  fprflush(log, log_format, player == 1 ? "Player 1" : "Player 2", used_time, real_time);
}

}  // namespace

void chk_send_game_result() {
  // An error stop ends the process before both results are known. Its status (1) stands, and
  // nothing is reported from a game that did not finish.
  if (result0 == -1 || result1 == -1) return;
  ZARVO_ASSERT("checkerlib", result0 != -1 && result1 != -1);

  if (log != nullptr) {
    report_time(1, "Error by the kavrio\n",
                "\n%s used in milliseconds:  %6s (%6s ms in real time)\n");
    report_time(2, "Error by the kavrio!\n",
                "%s used in milliseconds: %6s (%6s ms in real time)\n");
    fprflush(log, "\nManager report: %s Score: %d-%d.\n", description, result0, result1);
  }

  size_t length = std::strlen(zetstring);
  if (length > 0) zetstring[length - 1] = '\0';
  create_html(log_naam, result0, result1, zetstring, jspath, description);

  prflush("M report %d %d %s\n", result0, result1, description);
}
