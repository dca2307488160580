# What a program built against the library gets: alias targets inside this build, and an
# installed tree (DLLs, import libraries, headers) with a CMake package, so that
#   find_package(RavelUtilities) + target_link_libraries(app Ravel::qvzkut01)
# brings the headers, the string library and the import libraries.

add_library(Ravel::tls7912d ALIAS tls7912d)
if(NOT RAVEL_WINDOWS)
  return()
endif()
add_library(Ravel::qvzkut01 ALIAS qvzkut01)

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The targets name header folders of the source tree; installed, everything is in include/.
foreach(target qvzkut01 tls7912d)
  get_target_property(dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
  list(TRANSFORM dirs PREPEND "$<BUILD_INTERFACE:")
  list(TRANSFORM dirs APPEND ">")
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES
    "${dirs};$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>")
endforeach()

install(TARGETS qvzkut01 tls7912d EXPORT RavelUtilitiesTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
# The library's headers, the string library's, and the engine's record types that
# BCabExtractor.h carries.
# The zip library BZip loads at run time, beside the DLL.
install(TARGETS dunzip32 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY include/ strings/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES cabinet/include/fdi.h cabinet/include/fdi_crt.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(RAVEL_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/RavelUtilities)
install(EXPORT RavelUtilitiesTargets NAMESPACE Ravel:: DESTINATION ${RAVEL_PACKAGE_DIR})
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/RavelUtilitiesConfig.cmake
  "include(\"\${CMAKE_CURRENT_LIST_DIR}/RavelUtilitiesTargets.cmake\")\n")
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/RavelUtilitiesConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/RavelUtilitiesConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/RavelUtilitiesConfigVersion.cmake DESTINATION ${RAVEL_PACKAGE_DIR})
