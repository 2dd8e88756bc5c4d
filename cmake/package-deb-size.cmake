# CPack runs this after writing a Debian package. CPack takes Installed-Size
# from the sizes the file system gives the staged files and folders, and a
# folder's size differs between file systems (4 KiB on ext4, less on tmpfs),
# so two builds of one commit could differ in that field alone. The package is
# rebuilt by dpkg-deb with the size counted as dpkg counts it: every file
# rounded up to whole KiB, one KiB for every folder and link.
find_program(PLOTWEAVE_DPKG_DEB dpkg-deb)
if(NOT PLOTWEAVE_DPKG_DEB)
  message(WARNING "dpkg-deb not found: Installed-Size is left as CPack counted it")
  return()
endif()
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  set(tree "${CPACK_TOPLEVEL_DIRECTORY}/deb-size")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND ${PLOTWEAVE_DPKG_DEB} --raw-extract "${package}" "${tree}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg-deb could not unpack ${package}")
  endif()

  file(GLOB_RECURSE entries LIST_DIRECTORIES true "${tree}/*")
  set(kib 0)
  foreach(entry IN LISTS entries)
    if(entry MATCHES "^${tree}/DEBIAN(/|$)")
      continue()
    endif()
    if(IS_SYMLINK "${entry}" OR IS_DIRECTORY "${entry}")
      math(EXPR kib "${kib} + 1")
    else()
      file(SIZE "${entry}" bytes)
      math(EXPR kib "${kib} + (${bytes} + 1023) / 1024")
    endif()
  endforeach()

  file(READ "${tree}/DEBIAN/control" control)
  string(REGEX REPLACE "\nInstalled-Size: [0-9]+\n" "\nInstalled-Size: ${kib}\n" control "${control}")
  file(WRITE "${tree}/DEBIAN/control" "${control}")
  file(REMOVE "${package}")
  # dpkg-deb sorts the entries and, with SOURCE_DATE_EPOCH, dates the archive.
  execute_process(COMMAND ${PLOTWEAVE_DPKG_DEB} --root-owner-group -Zgzip --build "${tree}" "${package}"
                  OUTPUT_QUIET RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg-deb could not rebuild ${package}")
  endif()
  file(REMOVE_RECURSE "${tree}")
endforeach()
