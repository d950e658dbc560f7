# bench_lobbex: request/response round trips per second through the network library's sessions
# on loopback, over UDP and TCP, beside a plain UDP ping-pong between two sockets in the same run
# (the figure to read is the ratio).
add_executable(bench_lobbex ${CMAKE_CURRENT_LIST_DIR}/bench_lobbex.cpp)
# GulpRelay runs the test server in-process (tools/gics-testserver).
target_link_libraries(bench_lobbex PRIVATE gics_server lobbex_static benchmark::benchmark)
# The benchmark opens sessions through the library's internal calls (the modules' own headers).
target_include_directories(bench_lobbex PRIVATE ${CMAKE_SOURCE_DIR}/lobbex/src)
