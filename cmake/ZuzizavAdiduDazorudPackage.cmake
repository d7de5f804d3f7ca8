# Install rules of the packet library: static libraries, headers under include/ZuzizavAdiduDazorud/, a CMake
# package (ZuzizavAdiduDazorudConfig.cmake) and pkg-config files. All in the component Development.
include(CMakePackageConfigHelpers)

set(ZAD_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZuzizavAdiduDazorud)

install(TARGETS ZuzizavAdiduDazorud_logging ZuzizavAdiduDazorud_decode EXPORT ZuzizavAdiduDazorudDecodeTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
install(TARGETS ZuzizavAdiduDazorud_capture EXPORT ZuzizavAdiduDazorudCaptureTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
install(EXPORT ZuzizavAdiduDazorudDecodeTargets NAMESPACE ZuzizavAdiduDazorud:: DESTINATION ${ZAD_CMAKE_DIR}
        COMPONENT Development)
install(EXPORT ZuzizavAdiduDazorudCaptureTargets NAMESPACE ZuzizavAdiduDazorud:: DESTINATION ${ZAD_CMAKE_DIR}
        COMPONENT Development)

# Headers the library uses only inside itself stay out.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/Sources/ZuzizavAdiduDazorud/
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ZuzizavAdiduDazorud COMPONENT Development
        FILES_MATCHING PATTERN "*.h"
        PATTERN "LibraryLogger.h" EXCLUDE
        PATTERN "RecordDecoding.h" EXCLUDE
        PATTERN "TransportDecoding.h" EXCLUDE
        PATTERN "Hashing.h" EXCLUDE
        PATTERN "Overloaded.h" EXCLUDE)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/logging/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ZuzizavAdiduDazorud/logging
        COMPONENT Development FILES_MATCHING PATTERN "*.h")
install(FILES ${ZAD_GENERATED_INCLUDE_DIR}/ZuzizavAdiduDazorud/Version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ZuzizavAdiduDazorud COMPONENT Development)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ZuzizavAdiduDazorudConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/ZuzizavAdiduDazorudConfig.cmake INSTALL_DESTINATION ${ZAD_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ZuzizavAdiduDazorudConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ZuzizavAdiduDazorudConfig.cmake
              ${PROJECT_BINARY_DIR}/ZuzizavAdiduDazorudConfigVersion.cmake
        DESTINATION ${ZAD_CMAKE_DIR} COMPONENT Development)

# The .pc files find the prefix from their own place, so the tree can be installed anywhere.
file(RELATIVE_PATH ZAD_PC_PREFIX_FROM_PCDIR /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
foreach(pc ZuzizavAdiduDazorud ZuzizavAdiduDazorud-decode)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${pc}.pc.in ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)
endforeach()
