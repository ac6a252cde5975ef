# Installation layout and the Debian package (CPack's DEB generator); scripts/package drives it.
include(GNUInstallDirs)
# packaging builds only what it installs, not the tests and benchmarks
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS vardex vardex-passwd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# the scan renderer and the sender of checked copies, found by vardex in ../libexec/vardex from its own folder
install(TARGETS vardex-scan vardex-send RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/vardex)

set(PKG ${CMAKE_SOURCE_DIR}/packaging)
set(PKG_OUT ${CMAKE_BINARY_DIR}/packaging)
# Man pages and the changelog go compressed, reproducibly (no name, no time stamp).
set(PKG_GZIPPED)
foreach(source vardex.1 vardex-passwd.1 changelog)
  add_custom_command(OUTPUT ${PKG_OUT}/${source}.gz
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${PKG_OUT}
                     COMMAND gzip -9n -c ${PKG}/${source} > ${PKG_OUT}/${source}.gz
                     DEPENDS ${PKG}/${source} VERBATIM)
  list(APPEND PKG_GZIPPED ${PKG_OUT}/${source}.gz)
endforeach()
add_custom_target(package_files ALL DEPENDS ${PKG_GZIPPED})

install(FILES ${PKG_OUT}/vardex.1.gz ${PKG_OUT}/vardex-passwd.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PKG}/ru.vetlan.vardex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PKG}/ru.vetlan.vardex.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 48 128 256)
  install(FILES ${PKG}/icons/vardex-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME vardex.png)
endforeach()
install(FILES ${PKG}/icons/vardex.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PKG}/copyright ${PKG}/vardex.conf.example ${PKG_OUT}/changelog.gz ${PKG}/screenshot.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vardex)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vardex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vetlan education centre <arm@vetlan.example>")
set(CPACK_PACKAGE_VENDOR "Vetlan education centre")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "workstation of the experts who grade a school subject contest")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "The experts of the regional stage log in, choose the subject areas they
grade, download the participants' scanned works, score each work task by
task, upload checked scans, answer appeals and read the methodology and
measuring materials. The program talks to the centre's MySQL/MariaDB
database, HTTP file server and SMTP server, set in /etc/vardex/vardex.conf.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vetlan.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# loaded at run time, so not found in the binaries: the database driver, Qt's translations and
# the font of the checked copies' score page (qpdf comes with the helper's libraries)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-mysql, libqt6sql6-sqlite, qt6-translations-l10n, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_SOURCE_DIR}/dist)
include(CPack)
