# klomp-registry-bench: what a texture or sprite lookup costs on a registry of a few hundred
# keys (time and heap allocations per lookup), and how long the five registry loads of start-up
# take on the shipped definition files. It reads assets/ from the working directory and needs a
# display, so run it from the repository root under Xvfb:
#   ALSOFT_DRIVERS=null tools/with-xvfb.sh build/tools/klomp-registry-bench
find_package(benchmark QUIET)
if(benchmark_FOUND)
  add_executable(klomp-registry-bench ${CMAKE_CURRENT_LIST_DIR}/registry-bench.cpp)
  target_link_libraries(klomp-registry-bench PRIVATE klomp_allocation_counter klomp_core
                                                     benchmark::benchmark)
  klomp_warnings(klomp-registry-bench)
else()
  message(STATUS "Google Benchmark not found (libbenchmark-dev): klomp-registry-bench is skipped")
endif()
