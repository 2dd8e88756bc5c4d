# The Linux programs are linked as static position-independent executables
# where the toolchain can make one: nothing is loaded, mapped or resolved
# before main, which on a plan of ordinary size is a good part of what a run
# costs beyond its own work. They stay position-independent, so address-space
# randomisation still applies. Sanitizer and fuzzing builds keep the dynamic
# link the sanitizer runtimes need.
include(CheckLinkerFlag)

option(PLOTWEAVE_STATIC_PROGRAMS "Link plotweave and plotweave_self statically (static-pie) on Linux" ON)

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
