# The desktop integration files, in the component Runtime. The Debian packages (debian/, debhelper) take
# the Runtime files into tidemark and the Development ones into libzuzizavadidudazorud-dev.
set(TIDEMARK_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(TIDEMARK_PERMISSION_SCRIPT ${CMAKE_INSTALL_FULL_LIBEXECDIR}/tidemark/BPF_Permission.sh)
set(TIDEMARK_HELPER_PATH ${CMAKE_INSTALL_FULL_LIBEXECDIR}/tidemark/tidemark-capture)
set(generated ${PROJECT_BINARY_DIR}/packaging)

configure_file(${TIDEMARK_PACKAGING_DIR}/org.tidemark.Tidemark.metainfo.xml.in
               ${generated}/org.tidemark.Tidemark.metainfo.xml @ONLY)
configure_file(${TIDEMARK_PACKAGING_DIR}/org.tidemark.Tidemark.policy.in ${generated}/org.tidemark.Tidemark.policy
               @ONLY)

install(FILES ${PROJECT_SOURCE_DIR}/man/tidemark.1 ${PROJECT_SOURCE_DIR}/man/tmdump.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Runtime)
install(FILES ${TIDEMARK_PACKAGING_DIR}/org.tidemark.Tidemark.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        COMPONENT Runtime)
install(FILES ${TIDEMARK_PACKAGING_DIR}/org.tidemark.Tidemark.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT Runtime)
install(FILES ${TIDEMARK_PACKAGING_DIR}/org.tidemark.Tidemark.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps COMPONENT Runtime)
install(FILES ${generated}/org.tidemark.Tidemark.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        COMPONENT Runtime)
install(FILES ${generated}/org.tidemark.Tidemark.policy DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions
        COMPONENT Runtime)
