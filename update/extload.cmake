# The M16 loader library's worker thread and the library seam it loads through (no Qt: the
# thread tests run under ThreadSanitizer). The seams' system sides are one file per platform.
if(WIN32)
  set(updater_library_source shared_library_win.cpp)
  set(updater_process_source process_win.cpp)
else()
  set(updater_library_source shared_library_dl.cpp)
  set(updater_process_source process_posix.cpp)
endif()
add_library(updater_hexload STATIC
  ${CMAKE_CURRENT_LIST_DIR}/hex_load.cpp
  ${CMAKE_CURRENT_LIST_DIR}/${updater_library_source})
target_include_directories(updater_hexload PUBLIC ${PROJECT_SOURCE_DIR})
find_package(Threads REQUIRED)
target_link_libraries(updater_hexload PUBLIC updater_core updater_display Threads::Threads
  ${CMAKE_DL_LIBS})

# The external loader programs and their launchers, with the process seam they start through.
add_library(updater_extload STATIC
  ${CMAKE_CURRENT_LIST_DIR}/external_loader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/process_command_line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/${updater_process_source})
target_include_directories(updater_extload PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(updater_extload PUBLIC updater_hexload updater_engine updater_serial)
if(WIN32)
  target_link_libraries(updater_hexload PRIVATE updater_wintext)
  target_link_libraries(updater_extload PRIVATE updater_wintext)
endif()
