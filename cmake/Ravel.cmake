# Build rules shared by every directory: warnings, sanitizers, static Windows runtime,
# version resources and test registration.

set(RAVEL_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources, built for each target")
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)

# Records name their source file relative to the repository, never by an absolute build path.
add_compile_options(-fmacro-prefix-map=${CMAKE_SOURCE_DIR}/=)

if(RAVEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(RAVEL_WINDOWS)
  # Nothing but our own DLLs ships beside the programs.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()

set(RAVEL_WARNINGS -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wformat=2 -Wcast-qual -Wundef)

function(ravel_warnings target)
  target_compile_options(${target} PRIVATE ${RAVEL_WARNINGS})
endfunction()

# A VERSIONINFO resource from the one project version, FileVersion under US English / Unicode.
function(ravel_version_resource target description filename)
  if(NOT RAVEL_WINDOWS)
    return()
  endif()
  set(RAVEL_FILE_DESCRIPTION "${description}")
  set(RAVEL_ORIGINAL_FILENAME "${filename}")
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY")
    set(RAVEL_FILE_TYPE "0x2L")
  else()
    set(RAVEL_FILE_TYPE "0x1L")
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# Whether Windows test programs can run here: 64-bit ones under wine64, 32-bit ones only where a
# 32-bit Wine is installed (never required).
set(RAVEL_RUN_TESTS ON)
if(RAVEL_WINDOWS AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  if(NOT EXISTS /usr/lib/wine/i386-unix AND NOT EXISTS /usr/lib/i386-linux-gnu/wine)
    set(RAVEL_RUN_TESTS OFF)
  endif()
endif()
if(RAVEL_WINDOWS)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run CACHE FILEPATH "" FORCE)
endif()

# ravel_test(<name> SOURCES ... [LIBS ...] [ARGS ...])
# One executable per family; CTest runs it whole (no process per case).
function(ravel_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ARGS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  ravel_warnings(${name})
  ravel_version_resource(${name} "RavelUtilities test ${name}" "${name}.exe")
  if(RAVEL_RUN_TESTS)
    add_test(NAME ${name} COMMAND ${name} ${T_ARGS})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300 ENVIRONMENT
      "RAVEL_SOURCE_DIR=${PROJECT_SOURCE_DIR};RAVEL_BIN_DIR=${CMAKE_BINARY_DIR}/bin;RAVEL_DATA_DIR=${PROJECT_SOURCE_DIR}/tests/data;RAVEL_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix")
  endif()
endfunction()
