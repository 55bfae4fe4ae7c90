# What `cmake --install build --prefix P` puts in place, and the `programs` target that
# builds just that: the host in P/bin; the toolbox library and the plug-in bundle in the
# private folder P/lib/tonefade (the host finds both relative to itself, so the prefix can
# move); the man page; the manual and the user's docs in P/share/doc/tonefade. Build steps
# and test probes (build/libexec) stay behind, but for the settings command's helper.
include(GNUInstallDirs)

set(TONEFADE_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/tonefade)
set(TONEFADE_INSTALLED_BUNDLE ${TONEFADE_PRIVATE_LIBDIR}/Tonefade.bundle)
set(TONEFADE_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/tonefade)

# Paths from the host's folder and from the bundle's executable, for the loader.
file(RELATIVE_PATH host_to_libdir /p/${CMAKE_INSTALL_BINDIR} /p/${TONEFADE_PRIVATE_LIBDIR})
file(RELATIVE_PATH host_to_bundle /p/${CMAKE_INSTALL_BINDIR} /p/${TONEFADE_INSTALLED_BUNDLE})
target_compile_definitions(host_core PRIVATE TONEFADE_INSTALLED_BUNDLE="${host_to_bundle}")
set_target_properties(tonefade-host PROPERTIES INSTALL_RPATH "$ORIGIN/${host_to_libdir}")
set_target_properties(TonefadeBundle PROPERTIES INSTALL_RPATH "$ORIGIN/../../..")

install(TARGETS tonefade-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The settings command's helper, which the host runs from ../libexec beside its folder.
file(RELATIVE_PATH libexec_to_libdir /p/libexec /p/${TONEFADE_PRIVATE_LIBDIR})
set_target_properties(tonefade-settings PROPERTIES INSTALL_RPATH "$ORIGIN/${libexec_to_libdir}")
install(TARGETS tonefade-settings RUNTIME DESTINATION libexec)
# The frei0r filter, where frei0r hosts look (lib/frei0r-1), and Kdenlive's description.

install(PROGRAMS scripts/render-farm DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME tonefade-render-farm)
install(TARGETS toolbox LIBRARY DESTINATION ${TONEFADE_PRIVATE_LIBDIR})
install(TARGETS TonefadeBundle LIBRARY DESTINATION ${TONEFADE_INSTALLED_BUNDLE}/Contents/MacOS)
install(DIRECTORY ${TONEFADE_BUNDLE_DIR}/ DESTINATION ${TONEFADE_INSTALLED_BUNDLE}
        PATTERN MacOS EXCLUDE)

# The man page is made from the program's own usage texts, so it says what --help says.
set(TONEFADE_MAN_PAGE ${CMAKE_BINARY_DIR}/share/man/man1/tonefade-host.1)
add_custom_command(OUTPUT ${TONEFADE_MAN_PAGE}
  COMMAND ${CMAKE_COMMAND} -DHOST=$<TARGET_FILE:tonefade-host> -DOUT=${TONEFADE_MAN_PAGE}
          -DVERSION=${PROJECT_VERSION} -DDOCDIR=${TONEFADE_DOCDIR} -DBUNDLE=${TONEFADE_INSTALLED_BUNDLE}
          -P ${CMAKE_CURRENT_LIST_DIR}/ManPage.cmake
  DEPENDS tonefade-host ${CMAKE_CURRENT_LIST_DIR}/ManPage.cmake
  COMMENT "Writing the man page tonefade-host.1"
  VERBATIM)
add_custom_target(TonefadeManPage ALL DEPENDS ${TONEFADE_MAN_PAGE})
install(FILES ${TONEFADE_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${TONEFADE_BUNDLE_DIR}/Contents/Resources/manual.pdf RENAME tonefade-manual.pdf
        DESTINATION ${TONEFADE_DOCDIR})
install(FILES README.md DESTINATION ${TONEFADE_DOCDIR})
install(FILES docs/HOST.md docs/EVENT_SCRIPTS.md docs/LIVE_WINDOW.md DESTINATION ${TONEFADE_DOCDIR}/docs)
install(DIRECTORY docs/images DESTINATION ${TONEFADE_DOCDIR}/docs)

# Everything the install takes, and nothing else: no tests, no benchmarks.
add_custom_target(programs DEPENDS tonefade-host tonefade-settings TonefadeBundle TonefadeManual TonefadeManPage)
if(TARGET tonefade_frei0r)
  file(RELATIVE_PATH frei0r_to_libdir /p/lib/frei0r-1 /p/${TONEFADE_PRIVATE_LIBDIR})
  set_target_properties(tonefade_frei0r PROPERTIES INSTALL_RPATH "$ORIGIN/${frei0r_to_libdir}")
  install(TARGETS tonefade_frei0r LIBRARY DESTINATION lib/frei0r-1)
  install(FILES src/frei0r/kdenlive/frei0r_tonefade.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/kdenlive/effects)
  add_dependencies(programs tonefade_frei0r)
endif()
