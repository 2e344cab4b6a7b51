include(CMakePackageConfigHelpers)

set(STRATUS_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/stratus)

# Components name the Debian package each file goes to (StratusPackage.cmake).
install(TARGETS stratus EXPORT stratusTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT libstratus0
    NAMELINK_COMPONENT libstratus-dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT libstratus-dev
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT libstratus0
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/stratus DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT libstratus-dev)
install(FILES ${PROJECT_BINARY_DIR}/include/stratus/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/stratus COMPONENT libstratus-dev)
install(EXPORT stratusTargets NAMESPACE stratus:: DESTINATION ${STRATUS_CMAKE_DIR}
  COMPONENT libstratus-dev)

configure_package_config_file(cmake/stratusConfig.cmake.in
  ${PROJECT_BINARY_DIR}/stratusConfig.cmake
  INSTALL_DESTINATION ${STRATUS_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/stratusConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/stratusConfig.cmake
  ${PROJECT_BINARY_DIR}/stratusConfigVersion.cmake
  DESTINATION ${STRATUS_CMAKE_DIR} COMPONENT libstratus-dev)

# The .pc file finds the prefix from its own place, so the package can be
# installed anywhere (cmake --install --prefix DIR) and still be found.
file(RELATIVE_PATH STRATUS_PC_TO_PREFIX
  "${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig" "${CMAKE_INSTALL_PREFIX}")
configure_file(cmake/stratus.pc.in ${PROJECT_BINARY_DIR}/stratus.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/stratus.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT libstratus-dev)

# The US location data set, the default data directory of the host.
install(DIRECTORY data/us DESTINATION ${CMAKE_INSTALL_DATADIR}/stratus
  COMPONENT libstratus0 OPTIONAL)

include(cmake/StratusPackage.cmake)
