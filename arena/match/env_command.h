// Looking through `env` to the program it starts. `/usr/bin/env node bots/js/bot.js` is a common
// way to start a script (and the form a "#!/usr/bin/env -S ..." line takes), and the player is
// the program after env's options and NAME=VALUE words, not env. Understood: -i, -, -0 is
// refused (it starts nothing), -u NAME, -v, -S STRING, --ignore-environment, --unset, --debug,
// --split-string, the --*-signal options and "--", each short option also run together with
// others and with its value (`-iu NAME`, `-uNAME`). The words of an -S string take its place as
// words of their own, so the command that runs is the one written, in words env would have made
// of it. Anything else (-C DIR, which moves the player away from its files; an abbreviated long
// option; an -S string with a backslash, '$' or '#', which env splits by rules of its own) is
// refused with a message rather than guessed at.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace arena {

// Whether a program's file name is env's.
bool is_env(std::string_view file_name);

// The index in `words` of the program that the env command at index `at` starts. An -S string
// in env's options is split into the words it stands for, in place. Throws std::runtime_error
// with a readable message for an env command that is not understood or starts no program.
std::size_t program_after_env(std::vector<std::string>& words, std::size_t at);

}  // namespace arena
