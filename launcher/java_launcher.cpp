// java-launcher: lets a player written for the Java virtual machine be started like any other
// player program. A copy of this program is named after the player's main class; when started it
// takes the class name from its own program name and replaces itself by
//   java -Xmx2000m -Xms2000m -XX:+UseSerialGC CLASS
// so that the Java process inherits the standard input and output the match manager talks over.
// Arguments beyond the program name are ignored and not forwarded.

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

static char buffer[1000];  // the class name, when it fits (it always does for real file names)

static bool is_class_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// The class name is the longest run of letters, digits and underscores right behind the last
// separator; "/" and "\" both count, so Windows-style names work too. The whole program name is
// scanned, however long, and a class name too long for the buffer is ended in place in the
// program name rather than truncated, so no length of name can change which class is started.
static const char* class_name(char* program) {
  char* start = program;
  for (char* p = program; *p != '\0'; p++)
    if (*p == '/' || *p == '\\') start = p + 1;
  size_t len = 0;
  while (is_class_char(start[len])) len++;
  if (len < sizeof buffer) {
    memcpy(buffer, start, len);
    buffer[len] = '\0';
    return buffer;
  }
  start[len] = '\0';
  return start;
}

int main(int argc, char** argv) {
  char empty[] = "";
  char* program = argc > 0 && argv[0] != nullptr ? argv[0] : empty;
  const char* name = class_name(program);

  const char* java_argv[] = {"java", "-Xmx2000m", "-Xms2000m", "-XX:+UseSerialGC", name, nullptr};
  execvp("java", const_cast<char* const*>(java_argv));

  // execvp only returns on failure. Exit status 127 is what shells report for a command that
  // cannot be run, so the manager sees a failed player rather than a silent success.
  fprintf(stderr, "java-launcher: cannot start java: %s\n", strerror(errno));
  fflush(stderr);
  return 127;
}
