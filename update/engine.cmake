# The update engine: state machine, port search, identification, version check.
add_library(updater_engine STATIC
  ${CMAKE_CURRENT_LIST_DIR}/engine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/run_steps.cpp
  ${CMAKE_CURRENT_LIST_DIR}/state_machine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/port_search.cpp
  ${CMAKE_CURRENT_LIST_DIR}/identify.cpp
  ${CMAKE_CURRENT_LIST_DIR}/programming_paths.cpp
  ${CMAKE_CURRENT_LIST_DIR}/menu_programming.cpp
  ${CMAKE_CURRENT_LIST_DIR}/multi_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/failure_report.cpp
  ${CMAKE_CURRENT_LIST_DIR}/air_pressure_upload.cpp)
target_include_directories(updater_engine PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(updater_engine PUBLIC updater_core updater_replies updater_identity
  updater_display updater_ports updater_settings updater_messages)
