# Checks that each folder of the source tree includes only the folders below it.
#
#   cmake -DROOT=<source tree> -P cmake/check_layers.cmake
#
# Every build runs it (cmake/LayerCheck.cmake): a violation fails the build.
#
# The rules:
# - Every top-level folder of ROOT is known: a folder of the program or of the
#   tests and tools around it (both in the table below, and scanned), or a
#   folder that holds no code of the program (no_code_folders, and any build
#   tree: a folder named build* or holding a CMakeCache.txt), which is skipped.
#   A top-level folder of neither kind fails, named, until it gets a row.
# - Every C++ file under a scanned folder belongs to a row of the table, the
#   longest that names a folder holding it (app/core/x.h is app/core's, app/x.h
#   app's). A file under no row (learn/x.h, where learn has only core and ui)
#   fails.
# - A project include names its file from the root, "store/command_table.h",
#   without . or .. and that file exists. #include <dir/...> that names a file from the root
#   is a project include too (the compiler finds it there first) and is
#   checked the same; one that names no file of the tree is a system header
#   (<net/if.h>). Qt's generated *.moc files are not in the tree.
# - A file may include the files of its own row and of the rows its row may
#   use, and of the rows those may use, down to base/ ("and below").
#   "program" stands for every row of the program. Outside io/, the program
#   includes only io/io_api.h of the port library.
# - The display-free core (display_free) includes no Qt header.
# Prints every violation and fails when there is one.

cmake_minimum_required(VERSION 3.25)

if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<source tree> -P check_layers.cmake")
endif()

# Exceptions kept while code still sits in the wrong folder, each one include
# of one file ("file -> included file"). Each is reported when it is no longer
# needed. None today.
set(temporary_exceptions)

# The program, bottom to top: folder | the rows it may use (and all below them).
set(program_table
    "base         |"
    "io           | base"
    "store        | base"
    "app/settings | base"
    "ir           | base"
    "irport       | base io"
    "app/core     | app/settings store ir irport"
    "learn/core   | app/core"
    "macro/core   | app/core"
    "dialogs/core | app/core"
    "net          | macro/core app/core"
    "controls     | base"
    "learn/ui     | learn/core controls"
    "macro/ui     | macro/core controls"
    "dialogs/ui   | dialogs/core controls"
    "app/window   | learn/ui macro/ui dialogs/ui net"
    "app/icons    |"
    "app          | app/window app/icons"
    "tools        | ir app/core"
    "packaging    | app/icons")

# Around the program: the shared support of the tests, benchmarks and fuzz
# targets (harness), the benchmarks, the fuzz targets, the documentation's
# screenshot tool and the tests, which may include anything. Only the tests
# include tests/.
set(around_table
    "harness | program"
    "bench   | program harness"
    "fuzz    | program harness"
    "docs    | program harness"
    "tests   | program harness bench fuzz docs")

# The display-free core: it builds without Qt.
set(display_free base io store app/settings ir irport app/core learn/core macro/core dialogs/core tools)

# Top-level folders that hold no code of the program: the build's CMake
# modules, the scripts, CI, git, clangd's index.
set(no_code_folders .ci .git .cache cmake scripts)

set(code_globs *.h *.hh *.hpp *.hxx *.inc *.ipp *.c *.cc *.cpp *.cxx *.h.in *.cpp.in *.c.in)

# --- reading the table --------------------------------------------------------

set(rows "")
set(program_rows "")
foreach(entry IN LISTS program_table around_table)
  if(NOT entry MATCHES "^ *([^ |]+) *\\|(.*)$")
    message(FATAL_ERROR "check_layers.cmake: bad table row \"${entry}\"")
  endif()
  set(row "${CMAKE_MATCH_1}")
  string(STRIP "${CMAKE_MATCH_2}" uses)
  string(REPLACE " " ";" uses "${uses}")
  list(REMOVE_ITEM uses "")
  list(APPEND rows "${row}")
  set(uses_${row} "${uses}")
  list(FIND program_table "${entry}" in_program)
  if(in_program GREATER_EQUAL 0)
    list(APPEND program_rows "${row}")
  endif()
endforeach()

# allowed_<row>: every row <row> may include, "and below" followed to base/.
function(close_over row)
  if(DEFINED allowed_${row})
    return()
  endif()
  set(result "")
  foreach(used IN LISTS uses_${row})
    if(used STREQUAL "program")
      list(APPEND result ${program_rows})
      continue()
    endif()
    if(NOT used IN_LIST rows)
      message(FATAL_ERROR "check_layers.cmake: row ${row} uses ${used}, which has no row")
    endif()
    close_over("${used}")
    list(APPEND result "${used}" ${allowed_${used}})
  endforeach()
  list(REMOVE_DUPLICATES result)
  set(allowed_${row} "${result}" PARENT_SCOPE)
endfunction()
foreach(row IN LISTS rows)
  close_over("${row}")
endforeach()

set(top_folders "")
foreach(row IN LISTS rows)
  string(REGEX REPLACE "/.*" "" top "${row}")
  list(APPEND top_folders "${top}")
endforeach()
list(REMOVE_DUPLICATES top_folders)

# The row of a path from the root: the longest row that names a folder holding it.
function(row_of path out)
  set(found "")
  set(found_length 0)
  foreach(row IN LISTS rows)
    string(LENGTH "${row}/" length)
    string(SUBSTRING "${path}" 0 ${length} head)
    if(head STREQUAL "${row}/" AND length GREATER found_length)
      set(found "${row}")
      set(found_length ${length})
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# --- finding the files ----------------------------------------------------------

set(violations 0)
macro(violation text)
  message("${text}")
  math(EXPR violations "${violations} + 1")
endmacro()

set(files "")
file(GLOB entries RELATIVE "${ROOT}" "${ROOT}/*")
foreach(entry IN LISTS entries)
  if(NOT IS_DIRECTORY "${ROOT}/${entry}")
    if(entry MATCHES "\\.(h|hh|hpp|hxx|inc|ipp|c|cc|cpp|cxx)(\\.in)?$")
      violation("${entry}: a C++ file at the root, in no folder of the layer table")
    endif()
  elseif(entry IN_LIST top_folders)
    list(TRANSFORM code_globs PREPEND "${ROOT}/${entry}/" OUTPUT_VARIABLE globs)
    file(GLOB_RECURSE found RELATIVE "${ROOT}" ${globs})
    list(APPEND files ${found})
  elseif(entry IN_LIST no_code_folders)
    if(NOT entry STREQUAL ".git" AND NOT entry STREQUAL ".cache")
      list(TRANSFORM code_globs PREPEND "${ROOT}/${entry}/" OUTPUT_VARIABLE globs)
      file(GLOB_RECURSE found RELATIVE "${ROOT}" ${globs})
      foreach(file IN LISTS found)
        violation("${file}: ${entry}/ holds no code of the program; give the file a folder of the layer table")
      endforeach()
    endif()
  elseif(entry MATCHES "^build" OR EXISTS "${ROOT}/${entry}/CMakeCache.txt")
    # a build tree
  else()
    violation("${entry}/: a top-level folder the layer check does not know; give it a row \
in cmake/check_layers.cmake, or list it among the folders holding no code")
  endif()
endforeach()
list(REMOVE_DUPLICATES files)

# --- checking each include ------------------------------------------------------

set(used_exceptions "")
foreach(file IN LISTS files)
  row_of("${file}" row)
  if(row STREQUAL "")
    violation("${file}: in no folder of the layer table")
    continue()
  endif()
  file(STRINGS "${ROOT}/${file}" lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS lines)
    set(included "")
    if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      set(included "${CMAKE_MATCH_1}")
      if(included MATCHES "\\.moc$")
        continue()
      endif()
      if(NOT EXISTS "${ROOT}/${included}" OR IS_DIRECTORY "${ROOT}/${included}"
         OR included MATCHES "(^|/)\\.\\.?/")
        violation("${file}: \"${included}\" does not name a file from the source root")
        continue()
      endif()
    elseif(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
      set(header "${CMAKE_MATCH_1}")
      if(header MATCHES "^(Q[A-Za-z]*|Qt[A-Za-z]*/[A-Za-z]*)$")
        if(row IN_LIST display_free)
          violation("${file}: ${row}/ builds without Qt but includes <${header}>")
        endif()
        continue()
      endif()
      if(NOT header MATCHES "/" OR NOT EXISTS "${ROOT}/${header}" OR IS_DIRECTORY "${ROOT}/${header}")
        continue() # a system header
      endif()
      if(header MATCHES "(^|/)\\.\\.?/")
        violation("${file}: <${header}> does not name a file from the source root")
        continue()
      endif()
      set(included "${header}")
    else()
      continue() # #include MACRO
    endif()

    row_of("${included}" target)
    if(target STREQUAL row)
      continue()
    endif()
    if(target STREQUAL "")
      set(fault "\"${included}\" is in no folder of the layer table")
    elseif(NOT target IN_LIST allowed_${row})
      set(fault "${row}/ may not include ${target}/ (\"${included}\")")
    elseif(target STREQUAL "io" AND row IN_LIST program_rows AND NOT included STREQUAL "io/io_api.h")
      set(fault "only io/io_api.h of the port library may be included (\"${included}\")")
    else()
      continue()
    endif()
    if("${file} -> ${included}" IN_LIST temporary_exceptions)
      list(APPEND used_exceptions "${file} -> ${included}")
      continue()
    endif()
    violation("${file}: ${fault}")
  endforeach()
endforeach()

foreach(exception IN LISTS temporary_exceptions)
  string(REGEX REPLACE " -> .*" "" file "${exception}")
  if(EXISTS "${ROOT}/${file}" AND NOT exception IN_LIST used_exceptions)
    message("note: the temporary exception \"${exception}\" is no longer needed")
  endif()
endforeach()

list(LENGTH files count)
if(violations GREATER 0)
  message(FATAL_ERROR "${violations} violation(s) of the layers (${count} files checked)")
endif()
message("layers hold: ${count} files checked")
