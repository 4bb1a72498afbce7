# cmake -P join_files.cmake OUT PART...: writes the parts one after another into OUT, in one
# step (under a temporary name, then renamed), so that a page never loads half a script.
math(EXPR last "${CMAKE_ARGC} - 1")
set(out "${CMAKE_ARGV3}")
set(text "")
foreach(i RANGE 4 ${last})
  file(READ "${CMAKE_ARGV${i}}" part)
  string(APPEND text "${part}")
endforeach()
file(WRITE "${out}.part" "${text}")
file(RENAME "${out}.part" "${out}")
