# GoogleTest: the system's package for a native build. A cross build cannot link the host's
# libraries, so it compiles GoogleTest from Debian's source tree (libgtest-dev/googletest put it
# in /usr/src/googletest) with the cross compiler.
set(UPDATER_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
  "GoogleTest sources, compiled in when cross-compiling")
if(CMAKE_CROSSCOMPILING)
  if(NOT EXISTS ${UPDATER_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${UPDATER_GTEST_SOURCE_DIR} "
      "(install googletest or set UPDATER_GTEST_SOURCE_DIR)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  # Its sources are not ours: our warning flags stay off them.
  add_subdirectory(${UPDATER_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL
    SYSTEM)
  foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
else()
  find_package(GTest REQUIRED)
endif()
