# The golden stills of the show. klomp_golden_pictures (the moments, shrinking, comparing)
# needs only SFML's pictures, so klomp-golden-compare runs without a display; klomp_golden
# renders the stills through the show's core and is what other platforms' builds need.
add_library(klomp_golden_pictures STATIC ${CMAKE_CURRENT_LIST_DIR}/golden/GoldenPictures.cpp)
target_include_directories(klomp_golden_pictures PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(klomp_golden_pictures PUBLIC sfml-graphics)
klomp_warnings(klomp_golden_pictures)

add_library(klomp_golden STATIC ${CMAKE_CURRENT_LIST_DIR}/golden/GoldenRender.cpp)
target_link_libraries(klomp_golden PUBLIC klomp_golden_pictures klomp_core OpenGL::GL)
klomp_warnings(klomp_golden)

add_executable(klomp-golden ${CMAKE_CURRENT_LIST_DIR}/golden/render.cpp)
target_link_libraries(klomp-golden PRIVATE klomp_golden)
klomp_warnings(klomp-golden)

add_executable(klomp-golden-compare ${CMAKE_CURRENT_LIST_DIR}/golden/compare.cpp)
target_link_libraries(klomp-golden-compare PRIVATE klomp_golden_pictures)
klomp_warnings(klomp-golden-compare)
