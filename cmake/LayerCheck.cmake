# Runs the layer check (cmake/check_layers.cmake) as part of every build.
#
# qev_add_layer_check(<source tree>) adds the target layer_check to ALL: it
# runs the check when a C++ file of the tree, the list of those files or the
# check itself changed since it last passed, and fails the build on a
# violation. Nothing changed, it does nothing. The lists are globbed with
# CONFIGURE_DEPENDS, so a new file or a new top-level folder is seen by the
# next build without configuring by hand.

set(QEV_LAYER_CHECK_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/check_layers.cmake")

function(qev_add_layer_check root)
  set(patterns *.h *.hh *.hpp *.hxx *.inc *.ipp *.c *.cc *.cpp *.cxx *.in)
  file(GLOB entries CONFIGURE_DEPENDS LIST_DIRECTORIES true "${root}/*")
  list(TRANSFORM patterns PREPEND "${root}/" OUTPUT_VARIABLE globs)
  file(GLOB inputs CONFIGURE_DEPENDS LIST_DIRECTORIES false ${globs})
  set(folders "")
  foreach(entry IN LISTS entries)
    if(NOT IS_DIRECTORY "${entry}")
      continue()
    endif()
    list(APPEND folders "${entry}")
    get_filename_component(name "${entry}" NAME)
    # git's and clangd's folders and the build trees hold no source.
    if(name STREQUAL ".git" OR name STREQUAL ".cache" OR name MATCHES "^build" OR EXISTS "${entry}/CMakeCache.txt"
       OR entry STREQUAL CMAKE_BINARY_DIR)
      continue()
    endif()
    list(TRANSFORM patterns PREPEND "${entry}/" OUTPUT_VARIABLE globs)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS LIST_DIRECTORIES false ${globs})
    list(APPEND inputs ${found})
  endforeach()
  list(SORT inputs)

  # The top-level entries and the files, rewritten only when they change: a
  # folder or file added or removed runs the check even when no file is newer
  # than the stamp.
  set(dir "${CMAKE_BINARY_DIR}/layer_check")
  string(REPLACE ";" "\n" listing "${folders};${inputs}")
  set(old "")
  if(EXISTS "${dir}/inputs.txt")
    file(READ "${dir}/inputs.txt" old)
  endif()
  if(NOT old STREQUAL "${listing}\n")
    file(WRITE "${dir}/inputs.txt" "${listing}\n")
  endif()

  add_custom_command(
    OUTPUT "${dir}/passed.stamp"
    COMMAND "${CMAKE_COMMAND}" "-DROOT=${root}" -P "${QEV_LAYER_CHECK_SCRIPT}"
    COMMAND "${CMAKE_COMMAND}" -E touch "${dir}/passed.stamp"
    DEPENDS ${inputs} "${dir}/inputs.txt" "${QEV_LAYER_CHECK_SCRIPT}"
    COMMENT "Checking the layers"
    VERBATIM)
  add_custom_target(layer_check ALL DEPENDS "${dir}/passed.stamp")
endfunction()
