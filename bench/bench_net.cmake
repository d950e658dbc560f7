# bench_net: 64-byte game messages from a host to a client through the game's DirectPlay back end
# (NET_Broadcast, drained by NET_Pump), beside a raw TCP relay of the same messages between two
# processes in the same run; it prints the ratio of the two.
if(TARGET ghoulden_core)
  add_executable(bench_net ${CMAKE_CURRENT_LIST_DIR}/bench_net.cpp)
  target_link_libraries(bench_net PRIVATE ghoulden_core benchmark::benchmark)
endif()
