# What `cmake --install` puts where (GNUInstallDirs): the program and the simulator, the
# desktop entry, its icons and AppStream metainfo, the manual pages, the message catalogues
# and, for the Debian package, the copyright and changelog. Tests and benchmarks are never
# installed, and neither is the quorvex.portable marker of the build tree.
include(GNUInstallDirs)

set(QUORVEX_APP_ID org.quorvex.Quorvex)
# Folders made on the way are 0755 whatever the umask, as a package wants them.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS quorvex quorvex-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES resources/${QUORVEX_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/${QUORVEX_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES resources/icons/${QUORVEX_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
  install(FILES resources/icons/${size}/${QUORVEX_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Debian wants the copyright and changelog in the package's own doc folder, whatever
# PROJECT_NAME makes of CMAKE_INSTALL_DOCDIR.
set(QUORVEX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/quorvex)
install(FILES resources/debian/copyright DESTINATION ${QUORVEX_DOC_DIR})

# Manual pages and the changelog are installed gzipped (gzip -9n: no name, no time stamp, so
# the same source gives the same bytes), compressed at install time so that building the two
# programs is all an install needs.
function(quorvex_install_gzipped source destination name)
  set(staged ${PROJECT_BINARY_DIR}/gzipped/${name}.gz)
  install(CODE "
    file(MAKE_DIRECTORY \"${PROJECT_BINARY_DIR}/gzipped\")
    execute_process(COMMAND gzip -9n -c \"${PROJECT_SOURCE_DIR}/${source}\"
                    OUTPUT_FILE \"${staged}\" COMMAND_ERROR_IS_FATAL ANY)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${destination}\" TYPE FILE FILES \"${staged}\")")
endfunction()
quorvex_install_gzipped(docs/man/quorvex.1 ${CMAKE_INSTALL_MANDIR}/man1 quorvex.1)
quorvex_install_gzipped(docs/man/quorvex-sim.1 ${CMAKE_INSTALL_MANDIR}/man1 quorvex-sim.1)
quorvex_install_gzipped(resources/debian/changelog ${QUORVEX_DOC_DIR} changelog)

# Message catalogues: whatever translation/locale holds as LANG/LC_MESSAGES/DOMAIN.mo goes to
# share/quorvex/locale/LANG/LC_MESSAGES/, where the installed program looks (bin/../share/
# quorvex/locale). Looked up at install time, so a catalogue added needs no new configure.
install(CODE "
  file(GLOB_RECURSE catalogues RELATIVE \"${PROJECT_SOURCE_DIR}/translation/locale\"
       \"${PROJECT_SOURCE_DIR}/translation/locale/*/LC_MESSAGES/*.mo\")
  foreach(catalogue IN LISTS catalogues)
    get_filename_component(folder \"\${catalogue}\" DIRECTORY)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/quorvex/locale/\${folder}\"
         TYPE FILE FILES \"${PROJECT_SOURCE_DIR}/translation/locale/\${catalogue}\")
  endforeach()")
