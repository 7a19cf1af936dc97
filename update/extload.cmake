# The M16 loader library's worker thread (no Qt: the thread tests run under ThreadSanitizer); it
# loads the library through the platform's seam.
add_library(updater_hexload STATIC ${CMAKE_CURRENT_LIST_DIR}/hex_load.cpp)
target_include_directories(updater_hexload PUBLIC ${PROJECT_SOURCE_DIR})
find_package(Threads REQUIRED)
target_link_libraries(updater_hexload PUBLIC updater_core updater_display updater_platform
  Threads::Threads)

# The external loader programs and their launchers; they start through the platform's seam.
add_library(updater_extload STATIC ${CMAKE_CURRENT_LIST_DIR}/external_loader.cpp)
target_include_directories(updater_extload PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(updater_extload PUBLIC updater_hexload updater_engine updater_serial)
