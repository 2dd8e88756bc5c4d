# Settings for the Windows build (cross-compiled with MinGW-w64, run under Wine).
if(NOT WIN32)
  return()
endif()

# The narrow file functions and argv take UTF-8 once the programs declare the
# UTF-8 active code page in their manifest, so Hangul plan paths work without
# a wide-character entry point.
enable_language(RC)
# The manifest carries the project's version; the resource script finds it
# beside itself, so both go to the build tree.
configure_file(${PROJECT_SOURCE_DIR}/app/plotweave.manifest.in ${CMAKE_BINARY_DIR}/resources/plotweave.manifest @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/app/plotweave.rc ${CMAKE_BINARY_DIR}/resources/plotweave.rc COPYONLY)
set(PLOTWEAVE_WINDOWS_RESOURCES ${CMAKE_BINARY_DIR}/resources/plotweave.rc)
# No link time in the PE header, so that two builds of one commit are equal.
add_link_options(-Wl,--no-insert-timestamp)

if(CMAKE_CROSSCOMPILING)
  # Every Windows program CMake or CTest runs (tests, test discovery) goes
  # through this wrapper, which keeps Wine in a prefix of this build directory
  # and quiet on standard error.
  set(PLOTWEAVE_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE
                 @ONLY)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
endif()
