#The run record : one CSV line per run, appended whole(no Qt, no engine).
add_library(updater_run_record STATIC ${CMAKE_CURRENT_LIST_DIR} / run_record.cpp)
    target_include_directories(updater_run_record PUBLIC ${PROJECT_SOURCE_DIR})
        target_link_libraries(updater_run_record PUBLIC updater_platform)
