# Installation and packages.
#   cmake --install BUILD --prefix DIR    programs in bin/, the manual page in
#                                         share/man/man1/, examples and the
#                                         laboratory-server kit in share/plotweave/
#   cpack -G DEB (Linux) / cpack -G ZIP (Windows), run in the build directory
include(GNUInstallDirs)

install(TARGETS plotweave_self plotweave plotweave-check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(PLOTWEAVE_STATIC_PIE)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/lintian/plotweave DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides)
endif()

# Debian keeps manual pages compressed; the Windows zip carries the pages as they are.
find_program(PLOTWEAVE_GZIP gzip)
foreach(page plotweave plotweave-check)
  set(source ${PROJECT_SOURCE_DIR}/man/${page}.1)
  if(NOT WIN32 AND PLOTWEAVE_GZIP)
    set(compressed ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(OUTPUT ${compressed}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
      COMMAND ${PLOTWEAVE_GZIP} -9n -c ${source} > ${compressed}
      DEPENDS ${source}
      VERBATIM)
    add_custom_target(${page}_manpage ALL DEPENDS ${compressed})
    install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    install(FILES ${source} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()
if(NOT WIN32 AND PLOTWEAVE_GZIP)
  # The second program has the same page.
  install(CODE "file(CREATE_LINK plotweave.1.gz
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man1/plotweave_self.1.gz\" SYMBOLIC)")
endif()

set(PLOTWEAVE_DATADIR ${CMAKE_INSTALL_DATADIR}/plotweave)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${PLOTWEAVE_DATADIR}/examples
        FILES_MATCHING PATTERN "*.lst" PATTERN "*.png")

# The laboratory-server kit is built separately (npm run build in web/); what
# of it exists when the install runs is installed, so that a build without
# Node still installs.
install(CODE "
  set(kit \"${PROJECT_SOURCE_DIR}/web\")
  # file(INSTALL) puts DESTDIR in front by itself.
  set(dest \"\${CMAKE_INSTALL_PREFIX}/${PLOTWEAVE_DATADIR}/web\")
  if(EXISTS \"\${kit}/site\")
    file(INSTALL \"\${kit}/site\" DESTINATION \"\${dest}\")
  else()
    message(STATUS \"Laboratory-server kit not built (web/site missing): not installed\")
  endif()
  file(GLOB readmes \"\${kit}/README*\")
  if(readmes)
    file(INSTALL \${readmes} DESTINATION \"\${dest}\")
  endif()
")

set(CPACK_PACKAGE_NAME plotweave)
set(CPACK_PACKAGE_VENDOR "Plotweave")
set(CPACK_PACKAGE_CONTACT "Plotweave maintainers <plotweave@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Turns an ontology plan into an HTML network page")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_PACKAGE_FILE_NAME plotweave-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION text)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # CPack puts the summary line in front of this.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Reads a plan of captions, node classes, relation types, nodes and links (KS
code, UTF-8 or UTF-16) and writes one HTML page that draws the ontology as an
interactive network. Two programs: plotweave opens node pages in a new window,
plotweave_self in the same one. A third, plotweave-check, reports every trap in
a plan with its line and column before a page is made.")
  find_program(PLOTWEAVE_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(PLOTWEAVE_STATIC_PIE)
    # Statically linked programs need no shared library at run time; the
    # package still names the C library whose code it carries, as it always has.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6")
  elseif(PLOTWEAVE_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
  endif()
endif()
include(CPack)
