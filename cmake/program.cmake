# Every program of the project is built and linked the same way:
#   plotweave_add_program(NAME SOURCES file... LIBS library... [DEFINITIONS name...])
# no exceptions or run-time type information, relocations resolved at start
# and then made read-only, static where the build allows it, and on Windows
# the manifest with the UTF-8 code page (for plan, page and kit paths with
# Hangul in them).
function(plotweave_add_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;DEFINITIONS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_compile_options(${name} PRIVATE ${PLOTWEAVE_CODE_OPTIONS})
  if(ARG_DEFINITIONS)
    target_compile_definitions(${name} PRIVATE ${ARG_DEFINITIONS})
  endif()
  if(WIN32)
    target_sources(${name} PRIVATE ${PLOTWEAVE_WINDOWS_RESOURCES})
  else()
    target_link_options(${name} PRIVATE -Wl,--as-needed -Wl,-z,relro,-z,now)
  endif()
  plotweave_static_link(${name})
endfunction()
