# The desktop integration files and the two Debian packages (CPack):
#   tidemark                     the application, tmdump, the capture helper and its permission script
#   libzuzizavadidudazorud-dev   the packet library's headers, archives, CMake package and .pc files
# Built by scripts/package.sh into build-package/.
set(TIDEMARK_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(TIDEMARK_PERMISSION_SCRIPT ${CMAKE_INSTALL_FULL_LIBEXECDIR}/tidemark/BPF_Permission.sh)
set(TIDEMARK_HELPER_PATH ${CMAKE_INSTALL_FULL_LIBEXECDIR}/tidemark/tidemark-capture)
set(generated ${PROJECT_BINARY_DIR}/packaging)

configure_file(${TIDEMARK_PACKAGING_DIR}/org.tidemark.Tidemark.metainfo.xml.in
               ${generated}/org.tidemark.Tidemark.metainfo.xml @ONLY)
configure_file(${TIDEMARK_PACKAGING_DIR}/org.tidemark.Tidemark.policy.in ${generated}/org.tidemark.Tidemark.policy
               @ONLY)
configure_file(${TIDEMARK_PACKAGING_DIR}/postinst.in ${generated}/postinst @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Manual pages and the Debian changelog go in compressed, without time stamps.
set(compressed)
foreach(source man/tidemark.1 man/tmdump.1 packaging/changelog)
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${generated}/${name}.gz
                     COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/${source} > ${generated}/${name}.gz
                     DEPENDS ${PROJECT_SOURCE_DIR}/${source} VERBATIM)
  list(APPEND compressed ${generated}/${name}.gz)
endforeach()
add_custom_target(tidemark_compressed_docs ALL DEPENDS ${compressed})

install(FILES ${generated}/tidemark.1.gz ${generated}/tmdump.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT Runtime)
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
foreach(package_component tidemark:Runtime libzuzizavadidudazorud-dev:Development)
  string(REPLACE ":" ";" pair ${package_component})
  list(GET pair 0 package)
  list(GET pair 1 component)
  install(FILES ${TIDEMARK_PACKAGING_DIR}/copyright ${generated}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tidemark)
set(CPACK_PACKAGE_VENDOR "The Tidemark authors")
set(CPACK_PACKAGE_CONTACT "The Tidemark authors <tidemark@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_HOMEPAGE_URL "https://tidemark.example.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL Runtime Development)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME tidemark)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION net)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libcap2-bin")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS "pkexec")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${generated}/postinst)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "shows on whose traditional territory your meeting's media server stands
While you are in a video meeting, Tidemark watches the media stream arriving at
your computer, finds the address of the server that sends it, asks where that
server stands, and shows on whose traditional territory that place lies, with a
link to learn about each people.

A small capture helper alone holds the capture capability, set when the package
is installed. The package also holds tmdump, which prints what the packet
library decodes, with tcpdump's everyday options.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libzuzizavadidudazorud-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libpcap-dev")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SHLIBDEPS OFF)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "packet decoding and live capture library (development files)
ZuzizavAdiduDazorud decodes captured frames (Ethernet, Linux cooked, raw IP,
802.1Q tags; IPv4, IPv6, ARP, spanning tree, CDP, LLDP; TCP, UDP, ICMP, IGMP)
into records that know where each field lies, with one-line and verbose texts
and hex dumps, and captures live over libpcap.

This package holds the C++20 headers, the static libraries, a CMake package
(find_package(ZuzizavAdiduDazorud)) and pkg-config files.")
include(CPack)
