# klomp-asset-check: loads and checks the whole asset set through the show's own registries.
# The check itself is in asset-check.hpp, which the test suite includes too.
add_executable(klomp-asset-check ${CMAKE_CURRENT_LIST_DIR}/asset-check.cpp)
target_link_libraries(klomp-asset-check PRIVATE klomp_core)
