# klomp-asset-check: loads and checks the whole asset set through the show's own registries.
# The check itself is the library klomp_asset_check (asset-check.hpp), which the test suite
# links too.
add_library(klomp_asset_check STATIC ${CMAKE_CURRENT_LIST_DIR}/asset-check.cpp)
target_include_directories(klomp_asset_check PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(klomp_asset_check PUBLIC klomp_core)
klomp_warnings(klomp_asset_check)

add_executable(klomp-asset-check ${CMAKE_CURRENT_LIST_DIR}/asset-check-main.cpp)
target_link_libraries(klomp-asset-check PRIVATE klomp_asset_check)
klomp_warnings(klomp-asset-check)
