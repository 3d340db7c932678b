# Kiv as a tool of other builds: the targets Kiv::Kiv and Kiv::KivS and
# kiv_convert() for a project that adds Kiv with add_subdirectory or
# FetchContent, and the same for an installed Kiv through find_package(Kiv).

add_executable(Kiv::Kiv ALIAS Kiv)
add_executable(Kiv::KivS ALIAS KivS)
include(${CMAKE_CURRENT_LIST_DIR}/KivConvert.cmake)

if(KIV_INSTALL)
  include(CMakePackageConfigHelpers)
  set(KIV_CMAKE_DIR ${CMAKE_INSTALL_DATADIR}/cmake/Kiv)
  configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/KivConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/KivConfig.cmake
    INSTALL_DESTINATION ${KIV_CMAKE_DIR}
    PATH_VARS CMAKE_INSTALL_BINDIR)
  # The programs serve a build of any word size.
  write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KivConfigVersion.cmake
    COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
  install(FILES
    ${CMAKE_CURRENT_BINARY_DIR}/KivConfig.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/KivConfigVersion.cmake
    ${CMAKE_CURRENT_LIST_DIR}/KivConvert.cmake
    DESTINATION ${KIV_CMAKE_DIR})
endif()
