# The M16 loader library's worker thread and the library seam it loads through (no Qt: the
# thread tests run under ThreadSanitizer).
add_library(updater_hexload STATIC
  ${CMAKE_CURRENT_LIST_DIR}/hex_load.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shared_library_dl.cpp)
target_include_directories(updater_hexload PUBLIC ${PROJECT_SOURCE_DIR})
find_package(Threads REQUIRED)
target_link_libraries(updater_hexload PUBLIC updater_core updater_display Threads::Threads
  ${CMAKE_DL_LIBS})

# The external loader programs and their launchers, with the process seam they start through.
add_library(updater_extload STATIC
  ${CMAKE_CURRENT_LIST_DIR}/external_loader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/process_posix.cpp)
target_include_directories(updater_extload PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(updater_extload PUBLIC updater_hexload updater_engine updater_serial)
