// The viewer files every replay page loads (zarvo.js, zarvo.css): where the arena finds them,
// and the copy each result directory keeps of them in DIR/resources/, so that a match or
// tournament directory can be moved, zipped or served by a web server as it is.
#pragma once

#include <filesystem>
#include <string>

namespace arena {

// Where the viewer files lie when no directory is named for them: `resources/` beside the
// arena (a build tree), else `../share/zarvo/resources/` from it (an installed tree). Empty
// when neither holds them.
std::filesystem::path default_viewer_source(const std::filesystem::path& arena_dir);

// Gives `out_dir` its own copy of the viewer files of `source` (empty: the default source) in
// out_dir/resources/ and returns the jspath with which pages in out_dir/refereelogs/ load
// them, "../resources/". Many games may do this for one directory at once: each file is written
// under a temporary name in the same directory and renamed into place, and left alone when an
// identical copy is there already; a changed source replaces it. Throws std::runtime_error when
// a named source lacks a viewer file or the copy cannot be made. When there is no default
// source either, it copies nothing and warns on standard error: the game can still be played.
std::string provide_viewer_files(const std::filesystem::path& source,
                                 const std::filesystem::path& out_dir);

}  // namespace arena
