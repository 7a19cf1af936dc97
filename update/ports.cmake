# The table of open ports shared by the window and the console front-end.
add_library(updater_ports STATIC ${CMAKE_CURRENT_LIST_DIR}/port_table.cpp
                          ${CMAKE_CURRENT_LIST_DIR}/port_check.cpp)
target_include_directories(updater_ports PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(updater_ports PUBLIC updater_serial updater_core updater_messages)
