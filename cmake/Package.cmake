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
foreach(_littoral_program littoral-batch littoral littoral-mpi littoral-case)
  if(TARGET ${_littoral_program})
    install(TARGETS ${_littoral_program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
unset(_littoral_program)

# ---- the examples and the documentation ----
# share/littoral/examples: the bundled samples and the walk-through case, which
# `littoral-batch --init DIR` copies into a work folder (DIR/data, DIR/output).
set(LITTORAL_EXAMPLES_DIR ${CMAKE_INSTALL_DATADIR}/littoral/examples)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/ DESTINATION ${LITTORAL_EXAMPLES_DIR}
  PATTERN "*.md" EXCLUDE)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/walkthrough/ DESTINATION ${LITTORAL_EXAMPLES_DIR})
# share/littoral/survey: the small survey and its description for littoral-case (the case
# it builds goes into data/ and output/ beside the description, left out here).
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/survey/ DESTINATION ${CMAKE_INSTALL_DATADIR}/littoral/survey
  PATTERN ".gitignore" EXCLUDE PATTERN "data" EXCLUDE PATTERN "output" EXCLUDE)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/littoral)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/littoral)

# Installing (and packaging) takes what is built; it does not build every target first (the
# tests and benchmarks are not installed).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# ---- a Debian package: cpack -G DEB in the build folder gives littoral_<version>_<arch>.deb ----
set(CPACK_PACKAGE_NAME littoral)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Littoral developers <littoral@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "coastal waves, currents and bed change on a rectangular grid (desktop, batch and cluster programs)")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
# The shared libraries the programs link (netCDF, Qt, Open MPI, GDAL, OpenMP) are declared
# from the binaries themselves; the fonts of the pictures' text and mpirun beside them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(_littoral_deb_depends "")
if(LITTORAL_GUI)
  list(APPEND _littoral_deb_depends "fonts-dejavu-core")
endif()
if(TARGET littoral-mpi)
  list(APPEND _littoral_deb_depends "openmpi-bin")
endif()
list(JOIN _littoral_deb_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
unset(_littoral_deb_depends)
include(CPack)
