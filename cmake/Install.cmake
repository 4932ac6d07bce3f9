# What "cmake --install" (DESTDIR honoured) and "cpack -G DEB" put on a
# system: the three programs, the tips, the icon in the hicolor theme, the
# desktop entry and the MIME package of the built-in file types.
include(GNUInstallDirs)

install(TARGETS velmor_dravik velmor-data velmor-basic RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/dialogs/TIPOFDAY.TXT
        DESTINATION ${CMAKE_INSTALL_DATADIR}/velmor_dravik)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/desktop/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${PROJECT_SOURCE_DIR}/desktop/velmor_dravik.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/desktop/velmor_dravik.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

set(CPACK_PACKAGE_NAME velmor-dravik)
set(CPACK_PACKAGE_VENDOR "Velmor")
set(CPACK_PACKAGE_CONTACT "Velmor <support@velmor.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Viewer for fixed-length, delimited and dBase data files")
set(CPACK_PACKAGE_INSTALL_DIRECTORY velmor-dravik)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6widgets6 (>= 6.4), libqt6printsupport6 (>= 6.4)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils")
include(CPack)
