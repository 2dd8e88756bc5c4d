# The Linux programs are linked as static position-independent executables:
# nothing is loaded, mapped or resolved before main, which saves some 0.2 ms
# of processor time a run, a tenth of a run on a plan at full capacity.
# memcheck cannot follow the C library's start-up in a static program (nor
# replace its malloc and string functions), so `make valgrind-e2e` checks a
# build of its own configured with the option off; the package carries a
# lintian override for the missing shared-library entries. Sanitizer and
# fuzzing builds always keep the dynamic link their runtimes need.
include(CheckLinkerFlag)

option(PLOTWEAVE_STATIC_PROGRAMS "Link the programs statically (static-pie) on Linux" ON)

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
