# What "cmake --install" (DESTDIR honoured) and "cpack -G DEB" put on a
# system: the three programs with their manual pages, the tips, the icon in
# the hicolor theme and the desktop entry, which lists the types
# shared-mime-info defines (the package claims no file name pattern).
include(GNUInstallDirs)

install(TARGETS velmor_dravik velmor-data velmor-basic RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/dialogs/TIPOFDAY.TXT
        DESTINATION ${CMAKE_INSTALL_DATADIR}/velmor_dravik)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/desktop/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${PROJECT_SOURCE_DIR}/desktop/velmor_dravik.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/desktop/velmor_dravik.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# Manual pages, compressed as Debian wants them: the tools' from their
# --help, the viewer's written by hand; the package's changelog likewise.
find_program(HELP2MAN help2man)
find_program(GZIP gzip REQUIRED)
set(VELMOR_DOC_DIR ${CMAKE_BINARY_DIR}/doc)
set(velmor_docs ${VELMOR_DOC_DIR}/velmor_dravik.1.gz ${VELMOR_DOC_DIR}/changelog.Debian.gz)
add_custom_command(OUTPUT ${VELMOR_DOC_DIR}/velmor_dravik.1.gz
  COMMAND ${GZIP} -9nc ${PROJECT_SOURCE_DIR}/desktop/debian/velmor_dravik.1 > velmor_dravik.1.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/desktop/debian/velmor_dravik.1 WORKING_DIRECTORY ${VELMOR_DOC_DIR})
add_custom_command(OUTPUT ${VELMOR_DOC_DIR}/changelog.Debian.gz
  COMMAND ${GZIP} -9nc ${PROJECT_SOURCE_DIR}/desktop/debian/changelog > changelog.Debian.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/desktop/debian/changelog WORKING_DIRECTORY ${VELMOR_DOC_DIR})
if(HELP2MAN)
  set(velmor-data_summary "read, search, convert and edit flat data files")
  set(velmor-basic_summary "run a VelmorBasic script")
  foreach(tool velmor-data velmor-basic)
    add_custom_command(OUTPUT ${VELMOR_DOC_DIR}/${tool}.1.gz
      COMMAND ${HELP2MAN} --no-info --version-string=${PROJECT_VERSION} "--name=${${tool}_summary}"
              --output=${tool}.1 $<TARGET_FILE:${tool}>
      COMMAND ${GZIP} -9nf ${tool}.1
      DEPENDS ${tool} WORKING_DIRECTORY ${VELMOR_DOC_DIR})
    list(APPEND velmor_docs ${VELMOR_DOC_DIR}/${tool}.1.gz)
  endforeach()
else()
  message(WARNING "help2man is missing: no manual pages for velmor-data and velmor-basic")
endif()
file(MAKE_DIRECTORY ${VELMOR_DOC_DIR})
add_custom_target(velmor_docs ALL DEPENDS ${velmor_docs})
list(FILTER velmor_docs INCLUDE REGEX "\\.1\\.gz$")
install(FILES ${velmor_docs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/desktop/debian/copyright ${VELMOR_DOC_DIR}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmor-dravik)
install(FILES ${PROJECT_SOURCE_DIR}/desktop/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME velmor-dravik)

set(CPACK_PACKAGE_NAME velmor-dravik)
set(CPACK_PACKAGE_VENDOR "Velmor")
set(CPACK_PACKAGE_CONTACT "Velmor <support@velmor.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for fixed-length, delimited and dBase data files")
set(CPACK_PACKAGE_DESCRIPTION "Velmor_Dravik shows flat data files record by record: fixed-length
records, delimited records (CSV, tab-separated and others) and dBase III
tables, from a few bytes to many gigabytes. It works out each file's record
and field division, lets the user change and save it, searches records,
edits bytes in place and converts between the three kinds.
.
The package also holds velmor-data, which reads, searches and converts the
same files from the command line, and velmor-basic, which runs the
conversion scripts the program writes.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY velmor-dravik)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils")
include(CPack)
