# bench_vidvex: decode speed of 640x480 movies through the video library, against a plain memory
# copy of the same decoded frames in the same run.
add_executable(bench_vidvex ${CMAKE_CURRENT_LIST_DIR}/bench_vidvex.cpp)
target_link_libraries(bench_vidvex PRIVATE vidvex datakit benchmark::benchmark)
