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

# The preview test drives the program and the capture tool; hooked up once the tests exist.
function(klomp_preview_hook_tests)
  if(TARGET preview_test)
    add_dependencies(preview_test klomp-preview klomp-capture)
    target_compile_definitions(preview_test PRIVATE
      KLOMP_PREVIEW_TOOL="$<TARGET_FILE:klomp-preview>"
      KLOMP_CAPTURE_TOOL="$<TARGET_FILE:klomp-capture>")
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL klomp_preview_hook_tests)
