# klomp-effects-bench: heap allocations per frame of the particle, sticker, scroller and
# elastic-sprite code, the time of a 1920x1080 frame of full particle pools and the scroller,
# and a still of the effects. It reads assets/ from the working directory and needs a display,
# so run it from the repository root under Xvfb:
#   ALSOFT_DRIVERS=null tools/with-xvfb.sh build/tools/klomp-effects-bench alloc|time|still
add_executable(klomp-effects-bench ${CMAKE_CURRENT_LIST_DIR}/effects-bench.cpp)
target_link_libraries(klomp-effects-bench PRIVATE klomp_allocation_counter klomp_core OpenGL::GL)
# Exported symbols let the allocation report name the functions on its call stacks.
set_target_properties(klomp-effects-bench PROPERTIES ENABLE_EXPORTS ON)
klomp_warnings(klomp-effects-bench)
