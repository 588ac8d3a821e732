# klomp-bench: frame times per scene, allocations per frame, start-up stages, peak memory and
# the cost of each post-processing pass. It replaces the global operator new to count
# allocations, and exports its symbols so the counted call stacks can be named.
add_executable(klomp-bench
  ${CMAKE_CURRENT_LIST_DIR}/bench/main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bench/AllocationCounter.cpp)
target_include_directories(klomp-bench PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(klomp-bench PRIVATE klomp_capture_support ${CMAKE_DL_LIBS})
set_target_properties(klomp-bench PROPERTIES ENABLE_EXPORTS ON)
