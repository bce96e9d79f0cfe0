# The version information of the QEV_LPT executable: six texts and one
# translation entry, written by the build into a section of the executable
# itself, where the version dialog reads them back (dialogs/core/version_info.h
# describes the block).
#
#   qev_add_version_info(<target>)
#
# generates version_info.cpp from app/version_info.cpp.in into the current
# binary folder and adds it to <target>, so the block is linked into that
# executable. FileVersion is the project's VERSION, so it cannot drift from it.

set(QEV_VERSION_SECTION ".qev_version")  # must match Version_Info_Section
set(QEV_VERSION_LANGUAGE 0x0411)         # Japanese
set(QEV_VERSION_CODE_PAGE 0x03A4)        # 932, Shift-JIS
set(QEV_VERSION_PRODUCT_NAME "QEV_LPT")
set(QEV_VERSION_FILE_DESCRIPTION "Learns and replays IR remote commands")
set(QEV_VERSION_COMMENTS "IR receiver and LED on a PC parallel port")
set(QEV_VERSION_FILE_VERSION "${PROJECT_VERSION}")
set(QEV_VERSION_COMPANY_NAME "the QEV_LPT developers")
set(QEV_VERSION_LEGAL_COPYRIGHT "(C) 2026 the QEV_LPT developers")

# Four upper-case hexadecimal digits, as "%04X" writes them.
function(qev_hex4 value out)
  math(EXPR hex "${value}" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${hex}" 2 -1 digits)
  string(TOUPPER "${digits}" digits)
  string(LENGTH "${digits}" length)
  if(length GREATER 4)
    message(FATAL_ERROR "version information: ${value} does not fit 16 bits")
  endif()
  while(length LESS 4)
    string(PREPEND digits "0")
    math(EXPR length "${length} + 1")
  endwhile()
  set(${out} "${digits}" PARENT_SCOPE)
endfunction()

function(qev_add_version_info target)
  # The texts go into C++ string literals as they stand.
  foreach(field PRODUCT_NAME FILE_DESCRIPTION COMMENTS FILE_VERSION COMPANY_NAME LEGAL_COPYRIGHT)
    if(QEV_VERSION_${field} MATCHES "[\"\\\\]")
      message(FATAL_ERROR "version information: ${field} may hold neither quotes nor backslashes")
    endif()
  endforeach()
  qev_hex4(${QEV_VERSION_LANGUAGE} language)
  qev_hex4(${QEV_VERSION_CODE_PAGE} code_page)
  set(QEV_VERSION_KEY "${language}${code_page}")
  set(output "${CMAKE_CURRENT_BINARY_DIR}/version_info.cpp")
  configure_file("${PROJECT_SOURCE_DIR}/app/version_info.cpp.in" "${output}" @ONLY)
  target_sources(${target} PRIVATE "${output}")
endfunction()
