// The replay page: where it is written, what it holds, and that no name, message or path can
// break it. The last case loads a page in a real browser with a stand-in viewer script.
#include "checkerlib/create_html.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class ReplayPage : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::path(::testing::TempDir()) / "page-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    fs::create_directory(dir / "refereelogs");
    kleur1 = 3;
    kleur2 = 1;
    std::snprintf(beginzet, sizeof beginzet, "%s", "Hh523146h");
  }
  void TearDown() override { fs::remove_all(dir); }

  // Writes the page for the log `name` under refereelogs/ and returns the page's text.
  std::string page(const std::string& log_name, const std::string& page_name,
                   const char* moves = "'Bc123456h','Kd654321v'",
                   const char* jspath = "../bin/resources/",
                   const char* message = "PLAYER_1:_DRAW;_PLAYER_2:_DRAW") {
    std::string log = (dir / "refereelogs" / log_name).string();
    create_html(log.c_str(), 150, 150, moves, jspath, message);
    return read_file(dir / "refereelogs" / page_name);
  }

  std::string logs() const { return (dir / "refereelogs").string(); }

  fs::path dir;
};

TEST_F(ReplayPage, HoldsTheGameForARefereeLogPath) {
  std::string html = page("alpha-beta.17.log", "alpha-beta.17.html");
  EXPECT_EQ(html.rfind("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"", 0), 0u);
  EXPECT_TRUE(contains(html, "<title>Zarvo game 17: alpha - beta</title>"));
  EXPECT_TRUE(contains(html, "<h2>Zarvo game 17: alpha - beta</h2>"));
  EXPECT_TRUE(contains(html, "var moves=['Hh523146h', 'Bc123456h','Kd654321v'];"));
  EXPECT_TRUE(contains(html, "src=\"../bin/resources/zarvo.js\""));
  EXPECT_TRUE(contains(html, "href=\"../bin/resources/zarvo.css\""));
  EXPECT_TRUE(contains(html, "<td class=\"quvborder\">PLAYER_1:_DRAW;_PLAYER_2:_DRAW</td>"));
  EXPECT_TRUE(contains(html, "<td class=\"quvborder\">150 - 150</td>"));
  EXPECT_TRUE(contains(html, "var g = new Zarvo([ 'alpha', 'beta' ], moves, [ 3, 1 ]);"));
  for (const char* id :
       {"game-report", "game-container", "canvas-1", "canvas-2", "scores", "p1-score", "p2-score",
        "first", "prev", "next", "last", "play-pause", "move-table"}) {
    EXPECT_TRUE(contains(html, std::string("id=\"") + id + "\"")) << id;
  }
  EXPECT_TRUE(contains(html, "Player 1 (colour ?): 0"));
  EXPECT_EQ(html.substr(html.size() - 8), "</html>\n");
}

TEST_F(ReplayPage, GameWithoutMovesShowsOnlyTheStartingMove) {
  EXPECT_TRUE(
      contains(page("alpha-beta.17.log", "alpha-beta.17.html", ""), "var moves=['Hh523146h', ];"));
}

TEST_F(ReplayPage, OtherTailKeepsTheWholePathAndDefaultNames) {
  std::string html = page("alpha-beta.17.txt", "alpha-beta.17.txt.html");
  EXPECT_TRUE(contains(html, "<title>Zarvo game " + logs() + "/alpha-beta.17.txt</title>"));
  EXPECT_TRUE(contains(html, "new Zarvo([ 'Player 1', 'Player 2' ]"));
}

TEST_F(ReplayPage, EmptyNameAndIdentifierAreAllowed) {
  std::string html = page("-beta..log", "-beta..html");
  // The title's format puts the empty name between ": " and " - ".
  EXPECT_TRUE(contains(html, "<title>Zarvo game :  - beta</title>"));
  EXPECT_TRUE(contains(html, "new Zarvo([ '', 'beta' ]"));
}

TEST_F(ReplayPage, PathWithoutRefereeLogsGetsHtmlAppended) {
  std::string log = (dir / "game.log").string();
  create_html(log.c_str(), 0, 210, "", "", "m");
  std::string html = read_file(dir / "game.log.html");
  EXPECT_TRUE(contains(html, "<title>Zarvo game " + log + "</title>"));
  EXPECT_TRUE(contains(html, "<td class=\"quvborder\">0 - 210</td>"));
}

TEST_F(ReplayPage, MissingSeparatorsFallBackToDefaultNames) {
  for (const char* name :
       {"alphabeta.17.log", "alpha-beta17log", "alpha-beta.17", "alpha-beta.17.log.x"}) {
    std::string html = page(name, std::string(name) + ".html");
    EXPECT_TRUE(contains(html, "new Zarvo([ 'Player 1', 'Player 2' ]")) << name;
  }
}

TEST_F(ReplayPage, EmptyViewerPathLoadsFromThePagesDirectory) {
  std::string html = page("alpha-beta.17.log", "alpha-beta.17.html", "", "");
  EXPECT_TRUE(contains(html, "src=\"zarvo.js\""));
  EXPECT_TRUE(contains(html, "href=\"zarvo.css\""));
}

TEST_F(ReplayPage, NullLogPathOrUncreatablePageWritesNothing) {
  create_html(nullptr, 1, 2, "", "", "");
  EXPECT_TRUE(fs::is_empty(dir / "refereelogs"));
  std::string missing = (dir / "absent" / "refereelogs" / "a-b.1.log").string();
  create_html(missing.c_str(), 1, 2, "", "", "");
  EXPECT_FALSE(fs::exists(dir / "absent"));
}

TEST_F(ReplayPage, OverlongLogPathWritesNoPage) {
  std::string log = dir.string();
  while (log.size() <= 1018) log += "/.";  // a valid path beyond the page path's capacity
  log += "/x.log";
  create_html(log.c_str(), 1, 2, "", "", "");
  EXPECT_FALSE(fs::exists(dir / "x.log.html"));
}

TEST_F(ReplayPage, EveryInsertedTextIsEscapedForItsPlace) {
  std::string html = page("o'neil-<b>x&y\".7.log", "o'neil-<b>x&y\".7.html",
                          "'Bc123456h','x</script>\\'", "a\"b/", "<script>alert(1)</script>");
  EXPECT_TRUE(contains(html, "<title>Zarvo game 7: o&#39;neil - &lt;b&gt;x&amp;y&quot;</title>"));
  EXPECT_TRUE(contains(html, "new Zarvo([ 'o\\'neil', '\\x3Cb\\x3Ex\\x26y\\\"' ]"));
  EXPECT_TRUE(contains(html, "'Bc123456h','x\\x3C/script\\x3E\\\\'];"));
  EXPECT_TRUE(contains(html, "src=\"a&quot;b/zarvo.js\""));
  EXPECT_TRUE(contains(html, ">&lt;script&gt;alert(1)&lt;/script&gt;</td>"));
  EXPECT_EQ(html.find("<b>"), std::string::npos);
  EXPECT_EQ(html.find("alert(1)</script>"), std::string::npos);
}

// Opens the page in headless Chromium with a stand-in viewer that shows what it was given.
TEST_F(ReplayPage, BrowserSeesNamesAndMovesAsPlainData) {
  if (system("command -v chromium >/dev/null 2>&1") != 0) GTEST_SKIP() << "no chromium";
  std::ofstream(dir / "zarvo.js") << "function Zarvo(names, moves, colours) {\n"
                                     "  var p = document.createElement('pre'); p.id = 'probe';\n"
                                     "  p.textContent = JSON.stringify([names, moves, colours]);\n"
                                     "  document.body.appendChild(p);\n"
                                     "}\n";
  std::string name = "o'neil-<b>x&y.7.html";
  page("o'neil-<b>x&y.7.log", name, "'Bc123456h','a'b','</script><b>'", "../", "<i>m</i>");
  std::string url = "file://" + logs() + "/";
  for (char c : name) {
    char escaped[4];
    std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
    url += std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' ? std::string(1, c)
                                                                               : escaped;
  }
  std::string out_file = (dir / "dom.txt").string();
  pid_t child = fork();
  if (child == 0) {
    FILE* out = std::freopen(out_file.c_str(), "w", stdout);
    FILE* err = std::freopen("/dev/null", "w", stderr);
    if (out == nullptr || err == nullptr) _exit(120);
    alarm(120);
    execlp("chromium", "chromium", "--headless", "--no-sandbox", "--disable-gpu", "--dump-dom",
           url.c_str(), static_cast<char*>(nullptr));
    _exit(121);
  }
  int raw = 0;
  waitpid(child, &raw, 0);
  ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0);
  std::string dom = read_file(out_file);
  EXPECT_TRUE(contains(dom,
                       "<pre id=\"probe\">[[\"o'neil\",\"&lt;b&gt;x&amp;y\"],"
                       "[\"Hh523146h\",\"Bc123456h\",\"a'b\",\"&lt;/script&gt;&lt;b&gt;\"],"
                       "[3,1]]</pre>"))
      << dom;
  EXPECT_FALSE(contains(dom, "<b>"));
  EXPECT_FALSE(contains(dom, "<i>"));
}

}  // namespace
