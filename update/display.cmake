# The per-run record and the display operations the update sequence shares with the window.
add_library(updater_download STATIC ${CMAKE_CURRENT_LIST_DIR}/download_context.cpp)
target_include_directories(updater_download PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(updater_download PUBLIC updater_core)

add_library(updater_display STATIC ${CMAKE_CURRENT_LIST_DIR}/display.cpp)
target_include_directories(updater_display PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(updater_display PUBLIC updater_download updater_messages)
