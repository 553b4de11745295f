# Install rules: library, headers, language files, CMake package and pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS KrStd EXPORT KrStdTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/KrStd
  FILES_MATCHING PATTERN "*.h")
install(DIRECTORY lng DESTINATION ${CMAKE_INSTALL_LIBDIR})
if(TARGET krtool)
  install(TARGETS krtool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(KRSTD_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KrStd)
install(EXPORT KrStdTargets NAMESPACE KrStd:: DESTINATION ${KRSTD_CMAKE_DIR})
configure_package_config_file(cmake/KrStdConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/KrStdConfig.cmake INSTALL_DESTINATION ${KRSTD_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KrStdConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KrStdConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/KrStdConfigVersion.cmake
        DESTINATION ${KRSTD_CMAKE_DIR})

configure_file(cmake/KrStd.pc.in ${CMAKE_CURRENT_BINARY_DIR}/KrStd.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KrStd.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The image-file adapter, where GDAL was found: its own component, so a package of the core
# library alone does not pull GDAL in.
if(TARGET KrStdGdal)
  install(TARGETS KrStdGdal EXPORT KrStdGdalTargets COMPONENT Gdal
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(DIRECTORY gdal/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/KrStd COMPONENT Gdal
    FILES_MATCHING PATTERN "*.h")
  # A package of its own, find_package(KrStdGdal), standing on the core package.
  set(KRSTD_GDAL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KrStdGdal)
  install(EXPORT KrStdGdalTargets NAMESPACE KrStd:: DESTINATION ${KRSTD_GDAL_CMAKE_DIR} COMPONENT Gdal)
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/KrStdGdalConfig.cmake
    "include(CMakeFindDependencyMacro)\n"
    "find_dependency(KrStd ${PROJECT_VERSION})\n"
    "include(\"\${CMAKE_CURRENT_LIST_DIR}/KrStdGdalTargets.cmake\")\n")
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KrStdGdalConfig.cmake DESTINATION ${KRSTD_GDAL_CMAKE_DIR}
          COMPONENT Gdal)
endif()
