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
klomp_warnings(klomp_capture_support)

add_executable(klomp-capture ${CMAKE_CURRENT_LIST_DIR}/capture/main.cpp)
target_link_libraries(klomp-capture PRIVATE klomp_capture_support)
klomp_warnings(klomp-capture)

