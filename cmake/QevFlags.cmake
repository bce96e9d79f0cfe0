# Compiler flags shared by every target of the project. Targets link
# qev::flags instead of repeating options.
add_library(qev_flags INTERFACE)
add_library(qev::flags ALIAS qev_flags)
target_compile_options(qev_flags INTERFACE -Wall -Wextra -Wpedantic)
# GCC 12 at -O3 reports "literal" + std::string as an overlapping memcpy
# (a false positive, GCC bug 105329); the warning finds nothing else here.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(qev_flags INTERFACE -Wno-restrict)
endif()
if(QEV_WARNINGS_AS_ERRORS)
  target_compile_options(qev_flags INTERFACE -Werror)
endif()

# Sanitizer builds: -DQEV_SANITIZE=address,undefined
set(QEV_SANITIZE "" CACHE STRING "Comma-separated sanitizers for every target (e.g. address,undefined)")
if(QEV_SANITIZE)
  target_compile_options(qev_flags INTERFACE -fsanitize=${QEV_SANITIZE} -fno-omit-frame-pointer)
  target_link_options(qev_flags INTERFACE -fsanitize=${QEV_SANITIZE})
endif()

# Fuzzing builds (clang only): coverage instrumentation for every target; the
# fuzz targets link libFuzzer themselves.
option(QEV_FUZZ "Build the libFuzzer targets in fuzz/ (clang)" OFF)
if(QEV_FUZZ)
  target_compile_options(qev_flags INTERFACE -fsanitize=fuzzer-no-link)
endif()
