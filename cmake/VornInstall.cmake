include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS vorn_exchange vorn_codegen vorn_sim
  EXPORT vornTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(DIRECTORY
  ${PROJECT_SOURCE_DIR}/exchange/include/
  ${PROJECT_SOURCE_DIR}/codegen/include/
  ${PROJECT_SOURCE_DIR}/sim/include/
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(VORN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/vorn)

install(EXPORT vornTargets
  NAMESPACE vorn::
  FILE vornTargets.cmake
  DESTINATION ${VORN_CMAKE_DIR})

configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/vornConfig.cmake.in
  ${PROJECT_BINARY_DIR}/vornConfig.cmake
  INSTALL_DESTINATION ${VORN_CMAKE_DIR})

write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/vornConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMinorVersion)

install(FILES
  ${PROJECT_BINARY_DIR}/vornConfig.cmake
  ${PROJECT_BINARY_DIR}/vornConfigVersion.cmake
  DESTINATION ${VORN_CMAKE_DIR})

configure_file(${CMAKE_CURRENT_LIST_DIR}/vorn.pc.in ${PROJECT_BINARY_DIR}/vorn.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vorn.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
