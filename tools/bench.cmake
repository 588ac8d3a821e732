# klomp_allocation_counter: the replaced global operator new that counts heap allocations and
# files them by call site (bench/AllocationCounter.hpp). Every tool that counts allocations
# links it.
add_library(klomp_allocation_counter STATIC ${CMAKE_CURRENT_LIST_DIR}/bench/AllocationCounter.cpp)
target_include_directories(klomp_allocation_counter PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(klomp_allocation_counter PUBLIC ${CMAKE_DL_LIBS})
klomp_warnings(klomp_allocation_counter)

# klomp-bench: frame times per scene, allocations per frame, start-up stages, peak memory and
# the cost of each post-processing pass. It exports its symbols so the counted call stacks can
# be named.
add_executable(klomp-bench ${CMAKE_CURRENT_LIST_DIR}/bench/main.cpp)
target_link_libraries(klomp-bench PRIVATE klomp_allocation_counter klomp_capture_support)
set_target_properties(klomp-bench PROPERTIES ENABLE_EXPORTS ON)
klomp_warnings(klomp-bench)
