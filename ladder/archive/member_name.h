// The name of a member of an entry's archive, checked: relative, no "..", no control character,
// of a length every file system takes. "." components and a trailing "/" are dropped, so
// "./src/" is "src" and "./" is the top itself.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ladder::archive {

// The name's components, empty for the top. Throws Refusal saying what is wrong with `name`.
std::vector<std::string> member_components(std::string_view name);

// `name` with every control character shown as '?', for a refusal that quotes it.
std::string printable_name(std::string_view name);

}  // namespace ladder::archive
