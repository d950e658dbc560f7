# bench_raster: the software rasteriser drawing a fixed 640x480 scene (textured, Z, some blending),
# reported in pixels per second.
add_executable(bench_raster ${CMAKE_CURRENT_LIST_DIR}/bench_raster.cpp)
target_include_directories(bench_raster PRIVATE ${CMAKE_SOURCE_DIR}/platform/src)
target_link_libraries(bench_raster PRIVATE platform benchmark::benchmark)
