# The engine as a CMake package: find_package(littoral CONFIG) gives the target
# littoral::littoral (the static library littoral_core, its public header
# include/littoral/littoral.h and its dependencies), both from the build tree
# (-Dlittoral_DIR=<build dir>) and after cmake --install (CMAKE_PREFIX_PATH=<prefix>).
# The programs are installed beside it. Included at the end of the top CMakeLists.txt,
# once every target exists.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(LITTORAL_CONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/littoral)

# Inside the project the engine goes by the name a consumer uses.
add_library(littoral::littoral ALIAS littoral_core)
set_target_properties(littoral_core PROPERTIES EXPORT_NAME littoral)
# littoral_core links netCDF through littoral_netcdf, so that target travels with it.
set_target_properties(littoral_netcdf PROPERTIES EXPORT_NAME netcdf)

# How littoral_netcdf reaches the library, for the config file to find it again there:
# through pkg-config's imported target PkgConfig::NETCDF, through paths found on this
# machine (carried as they are), or not at all (a build without netCDF result files).
get_target_property(_littoral_netcdf_links littoral_netcdf INTERFACE_LINK_LIBRARIES)
if("PkgConfig::NETCDF" IN_LIST _littoral_netcdf_links)
  set(LITTORAL_PACKAGE_NETCDF pkgconfig)
elseif(_littoral_netcdf_links)
  set(LITTORAL_PACKAGE_NETCDF paths)
else()
  set(LITTORAL_PACKAGE_NETCDF none)
endif()
unset(_littoral_netcdf_links)

# ---- the library and its public header (a consumer sees include/littoral/ only) ----
install(TARGETS littoral_core EXPORT littoralTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS littoral_netcdf EXPORT littoralTargets)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/littoral DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")

# ---- the config, version and targets files: installed, and in the build tree's top ----
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/littoralConfig.cmake.in
  ${PROJECT_BINARY_DIR}/littoralConfig.cmake
  INSTALL_DESTINATION ${LITTORAL_CONFIG_DIR}
  NO_SET_AND_CHECK_MACRO)
# 0.x: a minor version may change the API.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/littoralConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/littoralConfig.cmake ${PROJECT_BINARY_DIR}/littoralConfigVersion.cmake
  DESTINATION ${LITTORAL_CONFIG_DIR})
install(EXPORT littoralTargets NAMESPACE littoral:: FILE littoralTargets.cmake
  DESTINATION ${LITTORAL_CONFIG_DIR})
export(EXPORT littoralTargets NAMESPACE littoral:: FILE ${PROJECT_BINARY_DIR}/littoralTargets.cmake)

# ---- the programs ----
foreach(_littoral_program littoral-batch littoral littoral-mpi)
  if(TARGET ${_littoral_program})
    install(TARGETS ${_littoral_program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
unset(_littoral_program)
