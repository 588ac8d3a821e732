# klomp-sanitize-show: plays the whole show (or its first frames) at a fixed, low frame rate
# through the show's own frame function, for sanitizer and valgrind runs (tools/sanitize.sh,
# tools/valgrind.sh).
add_executable(klomp-sanitize-show ${CMAKE_CURRENT_LIST_DIR}/sanitize-show.cpp)
target_link_libraries(klomp-sanitize-show PRIVATE klomp_core)
klomp_warnings(klomp-sanitize-show)

