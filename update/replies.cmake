# The reply parser: bytes from the instrument to answer events.
add_library(updater_replies STATIC ${CMAKE_CURRENT_LIST_DIR}/reply_parser.cpp)
target_include_directories(updater_replies PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(updater_replies PUBLIC updater_core)
