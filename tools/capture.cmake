# klomp-capture: renders the show to video, stills, a contact sheet and a timeline. Its
# show-driving pieces are a library of their own, shared with klomp-bench and the tests.
add_library(klomp_capture_support STATIC
  ${CMAKE_CURRENT_LIST_DIR}/capture/ShowSession.cpp
  ${CMAKE_CURRENT_LIST_DIR}/capture/Soundtrack.cpp
  ${CMAKE_CURRENT_LIST_DIR}/capture/Pictures.cpp
  ${CMAKE_CURRENT_LIST_DIR}/capture/FramePipe.cpp
  ${CMAKE_CURRENT_LIST_DIR}/capture/CaptureOptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/capture/Progress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/capture/VideoFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/capture/PixelReadBack.cpp)
find_package(Threads REQUIRED)
target_include_directories(klomp_capture_support PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(klomp_capture_support PUBLIC klomp_core OpenGL::GL Threads::Threads)

add_executable(klomp-capture ${CMAKE_CURRENT_LIST_DIR}/capture/main.cpp)
target_link_libraries(klomp-capture PRIVATE klomp_capture_support)

# The capture test drives both tools as programs and uses the library's pieces directly; the
# tests folder is read after this one, so the link is made once the whole project is known.
function(klomp_capture_hook_tests)
  if(TARGET capture_test)
    target_link_libraries(capture_test PRIVATE klomp_capture_support)
    add_dependencies(capture_test klomp-capture)
    target_compile_definitions(capture_test PRIVATE
      KLOMP_CAPTURE_TOOL="$<TARGET_FILE:klomp-capture>")
    if(TARGET klomp-bench)
      add_dependencies(capture_test klomp-bench)
      target_compile_definitions(capture_test PRIVATE
        KLOMP_BENCH_TOOL="$<TARGET_FILE:klomp-bench>")
    endif()
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL klomp_capture_hook_tests)
