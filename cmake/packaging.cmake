# Installation and packages.
#   cmake --install BUILD --prefix DIR    programs in bin/, manual pages in
#                                         share/man/man1/, examples and the
#                                         laboratory-server kit in share/plotweave/
#   cpack -G DEB (Linux) / cpack -G ZIP (Windows), run in the build directory
# With SOURCE_DATE_EPOCH set, two package builds of one commit are equal byte
# for byte (`make package` sets it from the commit).
include(GNUInstallDirs)

# Directories in the packages are 0755 whatever the umask of the build.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# plotweave-bundle finds the installed kit at ../share/plotweave/web/site from
# its own folder, so bin/ and share/ keep their places in every layout.
install(TARGETS plotweave_self plotweave plotweave-check plotweave-bundle plotweave-export plotweave-import RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# plotweave-preview, when its HTTP library was there to build it; it finds the
# kit the same way.
if(PLOTWEAVE_PREVIEW)
  install(TARGETS plotweave-preview RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

if(WIN32)
  set(PLOTWEAVE_DOCDIR .)
else()
  set(PLOTWEAVE_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/plotweave)
endif()

# Manual pages: every man/*.1, with @PROJECT_VERSION@ filled in. Debian keeps
# them compressed; the Windows zip carries them as they are.
find_program(PLOTWEAVE_GZIP gzip)
set(PLOTWEAVE_COMPRESS_DOCS OFF)
if(NOT WIN32 AND PLOTWEAVE_GZIP)
  set(PLOTWEAVE_COMPRESS_DOCS ON)
endif()
file(GLOB PLOTWEAVE_MANPAGES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/man/*.1)
set(PLOTWEAVE_DOC_OUTPUTS)
foreach(page ${PLOTWEAVE_MANPAGES})
  get_filename_component(name ${page} NAME)
  configure_file(${page} ${CMAKE_CURRENT_BINARY_DIR}/man/${name} @ONLY)
  if(PLOTWEAVE_COMPRESS_DOCS)
    add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/man/${name}.gz
      COMMAND ${PLOTWEAVE_GZIP} -9nf ${CMAKE_CURRENT_BINARY_DIR}/man/${name} -c > ${CMAKE_CURRENT_BINARY_DIR}/man/${name}.gz
      DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/man/${name}
      VERBATIM)
    list(APPEND PLOTWEAVE_DOC_OUTPUTS ${CMAKE_CURRENT_BINARY_DIR}/man/${name}.gz)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/man/${name}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/man/${name} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()
# plotweave(1) describes both builds: a link for Debian, a page that sources
# it where links cannot be packaged.
if(PLOTWEAVE_COMPRESS_DOCS)
  install(CODE "file(CREATE_LINK plotweave.1.gz
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man1/plotweave_self.1.gz\" SYMBOLIC)")
else()
  file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/man-links/plotweave_self.1 CONTENT ".so man1/plotweave.1\n")
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/man-links/plotweave_self.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# Licence, third-party list, and the Debian copyright and changelog.
install(FILES ${PROJECT_SOURCE_DIR}/THIRD_PARTY.md DESTINATION ${PLOTWEAVE_DOCDIR})
if(WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
  # The start-up notes, in the line ends a Windows editor expects.
  configure_file(${PROJECT_SOURCE_DIR}/packaging/README-windows.txt.in ${CMAKE_CURRENT_BINARY_DIR}/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt DESTINATION .)
  # The programs are linked statically with the MinGW-w64 runtime and GCC's
  # run-time libraries: their licences go with them.
  set(PLOTWEAVE_RUNTIME_LICENSES
    "/usr/share/doc/mingw-w64-common/copyright\;mingw-w64.txt"
    "/usr/share/doc/gcc-mingw-w64-base/copyright\;gcc-runtime.txt")
  # plotweave-preview carries cpp-httplib's server.
  if(PLOTWEAVE_PREVIEW)
    list(APPEND PLOTWEAVE_RUNTIME_LICENSES "${PLOTWEAVE_HTTPLIB_DIR}/LICENSE\;cpp-httplib.txt")
  endif()
  foreach(pair ${PLOTWEAVE_RUNTIME_LICENSES})
    list(GET pair 0 from)
    list(GET pair 1 to)
    if(EXISTS ${from})
      install(FILES ${from} DESTINATION licenses RENAME ${to})
    else()
      message(WARNING "${from} not found: the zip will lack licenses/${to}")
    endif()
  endforeach()
else()
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${PLOTWEAVE_DOCDIR})
  # One overrides file per package: the static programs' lines join the
  # others rather than one file taking the other's place.
  set(overrides ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides)
  if(PLOTWEAVE_STATIC_PIE)
    file(READ ${overrides} common)
    file(READ ${PROJECT_SOURCE_DIR}/cmake/lintian/plotweave static)
    set(overrides ${CMAKE_CURRENT_BINARY_DIR}/lintian-overrides)
    if(PLOTWEAVE_PREVIEW)
      string(APPEND static "plotweave: shared-library-lacks-prerequisites [usr/bin/plotweave-preview]\n")
    endif()
    file(WRITE ${overrides} "${common}${static}")
  endif()
  install(FILES ${overrides} DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME plotweave)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_FOUND AND PLOTWEAVE_COMPRESS_DOCS)
    set(changelog ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog)
    add_custom_command(OUTPUT ${changelog}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/doc
      COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/gen_debian_changelog.py
              ${PROJECT_SOURCE_DIR}/CHANGELOG.md plotweave ${PROJECT_VERSION} ${PLOTWEAVE_MAINTAINER} ${changelog}
      COMMAND ${PLOTWEAVE_GZIP} -9nf ${changelog}
      DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/tools/gen_debian_changelog.py
      VERBATIM)
    list(APPEND PLOTWEAVE_DOC_OUTPUTS ${changelog}.gz)
    install(FILES ${changelog}.gz DESTINATION ${PLOTWEAVE_DOCDIR})
  else()
    message(WARNING "python3 or gzip missing: the package will have no changelog")
  endif()
endif()
add_custom_target(plotweave_docs ALL DEPENDS ${PLOTWEAVE_DOC_OUTPUTS})

set(PLOTWEAVE_DATADIR ${CMAKE_INSTALL_DATADIR}/plotweave)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${PLOTWEAVE_DATADIR}/examples
        FILES_MATCHING PATTERN "*.lst" PATTERN "*.png")

# The laboratory-server kit is built separately (npm run build in web/); what
# of it exists when the install runs is installed, so that a build without
# Node still installs. Modes are fixed, not taken from the checkout.
install(CODE "
  set(kit \"${PROJECT_SOURCE_DIR}/web\")
  # file(INSTALL) puts DESTDIR in front by itself.
  set(dest \"\${CMAKE_INSTALL_PREFIX}/${PLOTWEAVE_DATADIR}/web\")
  set(modes FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
            DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
  if(EXISTS \"\${kit}/site\")
    file(INSTALL \"\${kit}/site\" DESTINATION \"\${dest}\" \${modes})
  else()
    message(STATUS \"Laboratory-server kit not built (web/site missing): not installed\")
  endif()
  file(GLOB readmes \"\${kit}/README*\")
  if(readmes)
    file(INSTALL \${readmes} DESTINATION \"\${dest}\" \${modes})
  endif()
")

set(CPACK_PACKAGE_NAME plotweave)
set(CPACK_PACKAGE_VENDOR "Plotweave")
set(CPACK_PACKAGE_CONTACT "${PLOTWEAVE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turns an ontology plan into an HTML network page")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)
# Every staged file gets the commit's time, which the zip and the Debian
# package then record.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package-mtimes.cmake)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_PACKAGE_FILE_NAME plotweave-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package-zip-order.cmake)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package-deb-size.cmake)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PLOTWEAVE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION text)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # CPack puts the summary line in front of this.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Reads a plan of captions, node classes, relation types, nodes and links (KS
code, UTF-8 or UTF-16) and writes one HTML page that draws the ontology as an
interactive network. Two programs: plotweave opens node pages in a new window,
plotweave_self in the same one. Five more: plotweave-check reports every trap
in a plan with its line and column before a page is made, plotweave-bundle
writes a standalone copy of a page that opens from disk with no network,
plotweave-export writes a plan as GraphML, GEXF, Cytoscape JSON, Graphviz DOT,
OWL in Turtle or spreadsheet tables, plotweave-import writes a plan from
spreadsheet tables (CSV or TSV, UTF-8 or CP949), and plotweave-preview serves a
plan's page on 127.0.0.1 and redraws it in the browser at every save, with the
plan's findings beside the drawing.")
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
