# klomp-sanitize-show: plays the whole show (or its first frames) at a fixed, low frame rate
# through the show's own frame function, for sanitizer and valgrind runs (tools/sanitize.sh,
# tools/valgrind.sh).
add_executable(klomp-sanitize-show ${CMAKE_CURRENT_LIST_DIR}/sanitize-show.cpp)
target_link_libraries(klomp-sanitize-show PRIVATE klomp_core)

# Sanitizer builds keep Mesa's driver loaded in every program of the project (the show, the
# tools and the tests), so that leak checks see this project's leaks only (see
# keep-gl-driver.cpp). Not for valgrind builds: there the pinned driver makes valgrind report
# false invalid reads in the loader.
option(KLOMP_KEEP_GL_DRIVER "Keep Mesa's GL driver loaded for the life of every program (sanitizer builds)" OFF)
if(KLOMP_KEEP_GL_DRIVER)
  add_library(klomp_keep_gl_driver OBJECT ${CMAKE_CURRENT_LIST_DIR}/keep-gl-driver.cpp)
  # Programs are defined in several folders, some after this one: link them at the end.
  function(klomp_keep_gl_driver_in_every_program)
    foreach(folder src tools tests)
      get_property(targets DIRECTORY ${PROJECT_SOURCE_DIR}/${folder} PROPERTY BUILDSYSTEM_TARGETS)
      foreach(target ${targets})
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "EXECUTABLE")
          target_link_libraries(${target} PRIVATE klomp_keep_gl_driver ${CMAKE_DL_LIBS})
        endif()
      endforeach()
    endforeach()
  endfunction()
  cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL klomp_keep_gl_driver_in_every_program)
endif()
