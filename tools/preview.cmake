# klomp-preview: a maker's window onto the show (seek, pause, step, speed, scene jumps, live
# reload). It plays the show through the capture tool's fixed-rate session.
add_executable(klomp-preview
  ${CMAKE_CURRENT_LIST_DIR}/preview/main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preview/PreviewOptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preview/DiagnosticLog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preview/AssetMirror.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preview/Player.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preview/Overlay.cpp)
target_link_libraries(klomp-preview PRIVATE klomp_capture_support)
klomp_warnings(klomp-preview)

