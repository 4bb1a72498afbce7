// Fuzz target: the replay page writer create_html with arbitrary log paths, names, identifiers,
// move lists, jspath, message, start move, scores and colours.
//
// The log path lies in a scratch directory (under refereelogs/ or not); its last component
// comes from the input with "/" replaced, optionally behind a run of "./" that makes the path
// long without leaving the directory. After the call the page must be the file a plain reading
// of the naming rule expects (or no file at all: no log path, a path beyond 1018 characters, or
// a file name the system refuses), and the page must stay well formed:
//   - each inserted text sits in its place and reads back, once unescaped, as the text given:
//     the title (twice) and the message as HTML text, jspath as attribute values, the names,
//     the start move and each move as single-quoted JavaScript string literals;
//   - HTML holes hold no "<" and no "&" that does not start an entity; attribute values no '"';
//     string literals no raw quote, line end or "<" (so no "</script>" can end the element);
//   - the page holds exactly as many "<" as a page of plain texts: nothing from the inputs
//     opened a tag.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "checkerlib/create_html.h"
#include "fuzz/scratch_dir.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& detail = "") {
  std::fprintf(stderr, "replay_page: %s\n%.6000s\n", what, detail.c_str());
  std::fflush(stderr);
  __builtin_trap();
}

class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  unsigned byte() { return at_ < size_ ? data_[at_++] : 0; }
  int32_t int32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(byte()) << (8 * i);
    return static_cast<int32_t>(v);
  }
  // The text up to the next NUL byte (or the end), at most `cap` characters of it.
  std::string field(size_t cap) {
    std::string text;
    while (at_ < size_ && data_[at_] != 0) text += static_cast<char>(data_[at_++]);
    if (at_ < size_) ++at_;
    if (text.size() > cap) text.resize(cap);
    return text;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// The scratch directory: pages under refereelogs/ and under a plain folder.
const std::string& scratch_dir() {
  static const std::string dir = make_scratch_dir("page", {"refereelogs", "plain"});
  return dir;
}

// Removes every file of the two folders; returns how many there were.
int clear_folders() {
  int found = 0;
  for (const char* sub : {"/refereelogs", "/plain"}) {
    const std::string folder = scratch_dir() + sub;
    DIR* d = opendir(folder.c_str());
    if (d == nullptr) fail("cannot list a scratch folder");
    while (dirent* e = readdir(d)) {
      if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
      unlink((folder + "/" + e->d_name).c_str());
      ++found;
    }
    closedir(d);
  }
  return found;
}

struct Expected {
  std::string page_path;
  std::string title;
  std::string name1 = "Player 1";
  std::string name2 = "Player 2";
};

Expected expect(const std::string& path) {
  Expected e;
  const std::string marker = "/refereelogs/";
  size_t start = path.find(marker);
  if (start != std::string::npos) {
    start += marker.size();
    const size_t dash = path.find('-', start);
    const size_t dot = dash == std::string::npos ? dash : path.find('.', dash + 1);
    const size_t dot2 = dot == std::string::npos ? dot : path.find('.', dot + 1);
    if (dot2 != std::string::npos && path.compare(dot2 + 1, std::string::npos, "log") == 0) {
      e.name1 = path.substr(start, dash - start);
      e.name2 = path.substr(dash + 1, dot - dash - 1);
      std::string id = path.substr(dot + 1, dot2 - dot - 1);
      if (id.size() > 127) id.resize(127);  // the identifier's capacity
      e.title = "Zarvo game " + id + ": " + e.name1 + " - " + e.name2;
      e.page_path = path.substr(0, path.size() - 4) + ".html";
      return e;
    }
  }
  e.title = "Zarvo game " + path;
  e.page_path = path + ".html";
  return e;
}

// The text between `open` (searched from `at`) and the next `close`; moves `at` behind close.
std::string hole(const std::string& page, size_t& at, const std::string& open,
                 const std::string& close) {
  size_t begin = page.find(open, at);
  if (begin == std::string::npos) fail(("no \"" + open + "\" in the page").c_str(), page);
  begin += open.size();
  const size_t end = page.find(close, begin);
  if (end == std::string::npos) fail(("no \"" + close + "\" after a hole").c_str(), page);
  at = end + close.size();
  return page.substr(begin, end - begin);
}

// The body of the single-quoted literal that begins right after `open` (searched from `at`).
std::string js_hole(const std::string& page, size_t& at, const std::string& open) {
  size_t begin = page.find(open, at);
  if (begin == std::string::npos) fail(("no \"" + open + "\" in the page").c_str(), page);
  begin += open.size();
  size_t end = begin;
  while (end < page.size() && page[end] != '\'') end += page[end] == '\\' ? 2 : 1;
  if (end >= page.size()) fail("string literal not closed", page);
  at = end + 1;
  return page.substr(begin, end - begin);
}

std::string html_unescape(const std::string& text, bool attribute) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '<' || c == '>') fail("raw angle bracket in an HTML hole", text);
    if (attribute && c == '"') fail("raw quote in an attribute value", text);
    if (c != '&') {
      out += c;
      continue;
    }
    const size_t semi = text.find(';', i);
    if (semi == std::string::npos || semi - i > 8) fail("raw & in an HTML hole", text);
    const std::string entity = text.substr(i + 1, semi - i - 1);
    if (entity == "amp")
      out += '&';
    else if (entity == "lt")
      out += '<';
    else if (entity == "gt")
      out += '>';
    else if (entity == "quot")
      out += '"';
    else if (entity == "#39" || entity == "#x27" || entity == "apos")
      out += '\'';
    else
      fail("unknown entity in an HTML hole", text);
    i = semi;
  }
  return out;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void append_utf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xc0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3f));
  } else {
    out += static_cast<char>(0xe0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (code & 0x3f));
  }
}

// The body of a single-quoted JavaScript literal inside a script element, read back as bytes:
// \xHH stands for the byte HH (the writer escapes single bytes that way).
std::string js_unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\'' || c == '\n' || c == '\r' || c == '<')
      fail("raw character in a JS literal", text);
    if (c == 0xe2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
        (static_cast<unsigned char>(text[i + 2]) & 0xfe) == 0xa8) {
      fail("raw line separator in a JS literal", text);
    }
    if (c != '\\') {
      out += static_cast<char>(c);
      continue;
    }
    if (++i >= text.size()) fail("JS literal ends in a backslash", text);
    const char e = text[i];
    if (e == 'x') {
      const int h = i + 1 < text.size() ? hex_digit(text[i + 1]) : -1;
      const int l = i + 2 < text.size() ? hex_digit(text[i + 2]) : -1;
      if (h < 0 || l < 0) fail("bad \\x escape", text);
      out += static_cast<char>(h * 16 + l);
      i += 2;
    } else if (e == 'u') {
      unsigned code = 0;
      for (int k = 1; k <= 4; ++k) {
        const int d = i + k < text.size() ? hex_digit(text[i + k]) : -1;
        if (d < 0) fail("bad \\u escape", text);
        code = code * 16 + static_cast<unsigned>(d);
      }
      append_utf8(out, code);
      i += 4;
    } else if (e == 'n')
      out += '\n';
    else if (e == 'r')
      out += '\r';
    else if (e == 't')
      out += '\t';
    else if (e == 'b')
      out += '\b';
    else if (e == 'f')
      out += '\f';
    else if (e == 'v')
      out += '\v';
    else if (e == '0' && !(i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9')) {
      out += '\0';
    } else if ((e >= '1' && e <= '9') || e == '\n' || e == '\r') {
      fail("escape with another meaning in a JS literal", text);
    } else {
      out += e;
    }
  }
  return out;
}

// Reads the list of literals 'a','b',... (possibly empty); false when it is not such a list.
std::vector<std::string> js_list(const std::string& text) {
  std::vector<std::string> items;
  size_t i = 0;
  while (i < text.size()) {
    if (!items.empty()) {
      if (text[i] != ',') fail("move list entries not separated by commas", text);
      ++i;
    }
    if (i >= text.size() || text[i] != '\'') fail("move list entry is no string literal", text);
    size_t j = i + 1;
    while (j < text.size() && text[j] != '\'') j += text[j] == '\\' ? 2 : 1;
    if (j >= text.size()) fail("move list literal not closed", text);
    items.push_back(js_unescape(text.substr(i + 1, j - i - 1)));
    i = j + 1;
  }
  return items;
}

// The entries of a move list given in the form the referee builds, or false.
bool plain_entries(const std::string& zetten, std::vector<std::string>& entries) {
  if (zetten.empty()) return true;
  if (zetten.size() < 2 || zetten.front() != '\'' || zetten.back() != '\'') return false;
  size_t i = 0;
  while (i < zetten.size()) {
    if (zetten[i] != '\'') return false;
    const size_t close = zetten.find('\'', i + 1);
    if (close == std::string::npos) return false;
    entries.push_back(zetten.substr(i + 1, close - i - 1));
    i = close + 1;
    if (i == zetten.size()) return true;
    if (zetten[i] != ',') return false;
    ++i;
  }
  return false;  // a trailing comma
}

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

size_t count_of(const std::string& text, char c) {
  size_t n = 0;
  for (char x : text) n += x == c;
  return n;
}

void expect_equal(const char* what, const std::string& got, const std::string& want,
                  const std::string& page) {
  if (got != want) {
    fail(what, "got:  " + got + "\nwant: " + want + "\npage:\n" + page);
  }
}

// The number of "<" in a page of plain texts, the same for every page.
size_t template_brackets() {
  static const size_t count = [] {
    std::memcpy(beginzet, "Hh523146h", 10);
    const std::string path = scratch_dir() + "/refereelogs/alpha-beta.17.log";
    create_html(path.c_str(), 150, 150, "'Bc123456h','Kd654321v'", "../bin/resources/",
                "PLAYER_1:_DRAW;_PLAYER_2:_DRAW");
    const std::string page = read_all(scratch_dir() + "/refereelogs/alpha-beta.17.html");
    if (page.empty()) fail("no page for a plain game");
    clear_folders();
    return count_of(page, '<');
  }();
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const size_t brackets = template_brackets();
  Bytes in(data, size);
  const unsigned mode = in.byte();
  const unsigned dots = in.byte() * 2;  // "./" pieces before the file name
  const int32_t score1 = in.int32();
  const int32_t score2 = in.int32();
  kleur1 = in.int32();
  kleur2 = in.int32();
  std::string name = in.field(400);
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  const std::string zetten = in.field(65535);
  const std::string jspath = in.field(127);
  const std::string message = in.field(1023);
  const std::string start = in.field(sizeof beginzet);
  std::memset(beginzet, 0, sizeof beginzet);
  std::memcpy(beginzet, start.data(), start.size());  // all 12 bytes may be text, unterminated
  const std::string start_text(beginzet, strnlen(beginzet, sizeof beginzet));

  std::string path = scratch_dir() + ((mode & 1) != 0 ? "/plain/" : "/refereelogs/");
  for (unsigned k = 0; k < dots; ++k) path += "./";
  path += name;
  const bool no_path = (mode & 6) == 6;

  create_html(no_path ? nullptr : path.c_str(), score1, score2, zetten.c_str(), jspath.c_str(),
              message.c_str());

  const Expected want = expect(path);
  struct stat info {};
  const bool made = stat(want.page_path.c_str(), &info) == 0;
  const std::string page = made ? read_all(want.page_path) : std::string();
  if (made) unlink(want.page_path.c_str());
  if (clear_folders() != 0) fail("a file other than the expected page", path);
  if (no_path) {
    if (made) fail("a page without a log path");
    return 0;
  }
  if (!made) {
    // Only a log path beyond the page path's capacity, or a file name the system refuses.
    const size_t last = want.page_path.rfind('/');
    if (path.size() <= 1018 && want.page_path.size() - last - 1 <= 255) {
      fail("no page written", want.page_path);
    }
    return 0;
  }
  if (path.size() > 1018) fail("a page for a log path beyond 1018 characters", path);

  size_t at = 0;
  expect_equal("title", html_unescape(hole(page, at, "<title>", "</title>"), false), want.title,
               page);
  expect_equal("start move", js_unescape(js_hole(page, at, "var moves=['")), start_text, page);
  const std::string list = hole(page, at, ", ", "];</script>");
  const std::vector<std::string> moves = js_list(list);
  std::vector<std::string> entries;
  if (plain_entries(zetten, entries)) {
    if (moves != entries) fail("move list differs", zetten + "\n" + list);
  }
  std::string src = html_unescape(hole(page, at, "src=\"", "\""), true);
  if (src.size() < 8 || src.compare(src.size() - 8, 8, "zarvo.js") != 0) fail("script src", page);
  expect_equal("script path", src.substr(0, src.size() - 8), jspath, page);
  std::string href = html_unescape(hole(page, at, "href=\"", "\""), true);
  if (href.size() < 9 || href.compare(href.size() - 9, 9, "zarvo.css") != 0) fail("css", page);
  expect_equal("style path", href.substr(0, href.size() - 9), jspath, page);
  expect_equal("heading", html_unescape(hole(page, at, "<h2>", "</h2>"), false), want.title, page);
  expect_equal("message", html_unescape(hole(page, at, "class=\"quvborder\">", "</td>"), false),
               message, page);
  expect_equal("result", hole(page, at, "class=\"quvborder\">", "</td>"),
               std::to_string(score1) + " - " + std::to_string(score2), page);
  expect_equal("name 1", js_unescape(js_hole(page, at, "new Zarvo([ '")), want.name1, page);
  expect_equal("name 2", js_unescape(js_hole(page, at, ", '")), want.name2, page);
  expect_equal("colours", hole(page, at, " ], moves, [ ", " ]);</script>"),
               std::to_string(kleur1) + ", " + std::to_string(kleur2), page);
  if (count_of(page, '<') != brackets) fail("the page holds a tag of its own", page);
  if (page.size() < 8 || page.compare(page.size() - 8, 8, "</html>\n") != 0) {
    fail("the page does not end with </html>", page);
  }
  return 0;
}
