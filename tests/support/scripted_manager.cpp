#include "tests/support/scripted_manager.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "referee/board.h"
#include "referee/movegen.h"

namespace zarvo_test {
namespace {

// A silent referee is a fault of the program under test; the run ends instead of hanging.
constexpr int kSilenceLimitMs = 60000;

// One player's side: the board as the player learns it from the lines it is sent and from its
// own accepted answers, which is all a real player program knows.
class ScriptedPlayer {
 public:
  ScriptedPlayer() { init(board_); }

  void receive(const std::string& text, std::vector<std::string>& faults) {
    if (text.size() == 6) {
      tile_ = text;
    } else if (text.size() == 9) {
      move m = parse(text.substr(0, 2) + text.substr(8, 1), text.substr(2, 6));
      // The start move is the first tile on an empty board; every later move must be legal.
      if (board_.bezet.any() && !isLegal(m)) faults.push_back("illegal move relayed: " + text);
      plaats(board_, m);
    }
  }

  // Expands "@" into the first legal move and lays the answer's first word when it is legal.
  std::string answer(std::string scripted) {
    std::vector<move> legal = legalMoves();
    if (!scripted.empty() && scripted[0] == kLegal) {
      scripted.replace(0, 1, legal.empty() ? std::string() : answerText(legal.front()));
    }
    std::string word = scripted.substr(0, scripted.find_first_of(" \t"));
    if (word.size() == 3) {
      move m = parse(word, tile_);
      if (isLegal(m)) plaats(board_, m);
    }
    return scripted;
  }

 private:
  static move parse(const std::string& answer, const std::string& tile) {
    move m{};
    m.rij = answer[0] - 64;
    m.kolom = answer[1] - 96;
    const std::string tekst = tile.substr(0, 6) + answer[2];
    std::memcpy(m.tekst, tekst.c_str(), tekst.size() + 1);
    return m;
  }

  static std::string answerText(const move& m) {
    return {static_cast<char>(64 + m.rij), static_cast<char>(96 + m.kolom), m.tekst[6]};
  }

  std::vector<move> legalMoves() const {
    std::vector<move> list(MAXZETTEN);
    list.resize(static_cast<size_t>(genereerzetten(board_.bezet, list.data(), tile_.c_str())));
    return list;
  }

  bool isLegal(const move& m) const {
    std::vector<move> list(MAXZETTEN);
    const std::string tile(m.tekst, 6);
    int n = genereerzetten(board_.bezet, list.data(), tile.c_str());
    for (int i = 0; i < n; ++i) {
      if (list[i].rij == m.rij && list[i].kolom == m.kolom && list[i].tekst[6] == m.tekst[6]) {
        return true;
      }
    }
    return false;
  }

  situatie board_{};
  std::string tile_ = "123456";
};

void writeFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

void writeAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;  // the referee has gone; its exit status tells the test why
    done += static_cast<size_t>(n);
  }
}

[[noreturn]] void runChild(const RefereeSetup& setup, const std::filesystem::path& dir, int stdinFd,
                           int stdoutFd) {
  if (chdir(dir.c_str()) != 0) _exit(127);
  int errFd = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  dup2(stdinFd, 0);
  dup2(stdoutFd, 1);
  if (errFd >= 0) dup2(errFd, 2);
  for (int fd = 3; fd < 256; ++fd) close(fd);
  for (const auto& [name, value] : setup.env) setenv(name.c_str(), value.c_str(), 1);
  std::vector<char*> argv{const_cast<char*>(setup.binary.c_str())};
  if (setup.logPath) argv.push_back(const_cast<char*>(setup.logPath->c_str()));
  argv.push_back(nullptr);
  execv(setup.binary.c_str(), argv.data());
  _exit(127);
}

}  // namespace

std::string managerTag(char c) { return "<" + std::string(16, 'x') + c + ">"; }

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zarvo-referee-XXXXXX");
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string RefereeRun::file(const std::string& relative) const {
  std::ifstream in(dir.path() / relative, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool RefereeRun::exists(const std::string& relative) const {
  return std::filesystem::exists(dir.path() / relative);
}

RefereeRun runReferee(RefereeSetup setup) {
  signal(SIGPIPE, SIG_IGN);
  RefereeRun run;
  const std::filesystem::path& dir = run.dir.path();
  std::filesystem::create_directory(dir / "refereelogs");
  if (setup.tiles) writeFile(dir / "tiles.txt", *setup.tiles);
  if (setup.refereeTxt) writeFile(dir / "referee.txt", *setup.refereeTxt);

  int toReferee[2];
  int fromReferee[2];
  if (pipe(toReferee) != 0 || pipe(fromReferee) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) runChild(setup, dir, toReferee[0], fromReferee[1]);
  close(toReferee[0]);
  close(fromReferee[1]);
  const int out = toReferee[1];
  const int in = fromReferee[0];

  ScriptedPlayer players[2];
  auto handle = [&](const std::string& line) {
    run.lines.push_back(line);
    if (line.size() >= 2 && (line[0] == '1' || line[0] == '2') && line[1] == ' ') {
      int p = line[0] - '1';
      run.received[p].push_back(line.substr(2));
      players[p].receive(line.substr(2), run.faults);
    } else if (line == "I lock") {
      writeAll(out, setup.beforeLockOk.empty() ? "lock_ok\n" : setup.beforeLockOk + " lock_ok\n");
    } else if (line == "I listen 1" || line == "I listen 2") {
      int p = line.back() - '1';
      std::string scripted(1, kLegal);
      if (!setup.answers[p].empty()) {
        scripted = setup.answers[p].front();
        setup.answers[p].pop_front();
      }
      writeAll(out, players[p].answer(scripted) + "\n");
    } else if (line == "I request_time 1" || line == "I request_time 2") {
      writeAll(out, setup.timeReply[line.back() - '1'] + "\n");
    } else if (line != "I unlock" && line.rfind("M report ", 0) != 0) {
      run.faults.push_back("unexpected line: " + line);
    }
  };

  std::string pending;
  char chunk[4096];
  for (;;) {
    pollfd waitFor{in, POLLIN, 0};
    if (poll(&waitFor, 1, kSilenceLimitMs) <= 0) {
      run.hung = true;
      kill(pid, SIGKILL);
      break;
    }
    ssize_t n = read(in, chunk, sizeof chunk);
    if (n <= 0) break;
    pending.append(chunk, static_cast<size_t>(n));
    for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
      handle(pending.substr(0, end));
      pending.erase(0, end + 1);
    }
  }
  if (!pending.empty()) run.faults.push_back("unterminated last line: " + pending);
  close(out);
  close(in);
  int status = 0;
  waitpid(pid, &status, 0);
  run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace zarvo_test
