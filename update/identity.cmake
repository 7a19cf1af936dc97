# Pure parts of the identification: offered firmware versions and the air-pressure table.
add_library(updater_identity STATIC
  ${CMAKE_CURRENT_LIST_DIR}/offered_version.cpp
  ${CMAKE_CURRENT_LIST_DIR}/air_pressure.cpp)
target_include_directories(updater_identity PUBLIC ${PROJECT_SOURCE_DIR})
# The package's calibration table is read by the package layer.
target_link_libraries(updater_identity PUBLIC updater_settings)
