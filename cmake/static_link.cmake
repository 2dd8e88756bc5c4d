# On request, the Linux programs are linked as static position-independent
# executables: nothing is loaded, mapped or resolved before main, which saves
# some 0.2-0.3 ms a run (a tenth of a run on a plan at full capacity). It is
# off by default: memcheck cannot follow the C library's start-up in a static
# program and reports errors there, so the valgrind checks need the dynamic
# link, and the package then needs a lintian override. Sanitizer and fuzzing
# builds always keep the dynamic link their runtimes need.
include(CheckLinkerFlag)

option(PLOTWEAVE_STATIC_PROGRAMS "Link plotweave and plotweave_self statically (static-pie) on Linux" OFF)

set(PLOTWEAVE_STATIC_PIE OFF)
if(PLOTWEAVE_STATIC_PROGRAMS AND CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT PLOTWEAVE_FUZZ
   AND NOT "${CMAKE_CXX_FLAGS} ${CMAKE_EXE_LINKER_FLAGS}" MATCHES "-fsanitize")
  check_linker_flag(CXX -static-pie PLOTWEAVE_LINKER_HAS_STATIC_PIE)
  if(PLOTWEAVE_LINKER_HAS_STATIC_PIE)
    set(PLOTWEAVE_STATIC_PIE ON)
    # Every object of the programs must be position-independent, whatever the
    # compiler's default.
    add_compile_options(-fPIE)
  endif()
endif()

# Links `program` statically when the build allows it.
function(plotweave_static_link program)
  if(PLOTWEAVE_STATIC_PIE)
    target_link_options(${program} PRIVATE -static-pie)
  endif()
endfunction()
