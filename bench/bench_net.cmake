# bench_net: 64-byte game messages from a host to a client through the game's DirectPlay back end
# and its online-service back end through gics-testserver (NET_Broadcast, drained by NET_Pump),
# beside the same messages over plain TCP, straight and through a relay process, in the same run;
# it prints the ratios to the plain figures.
if(TARGET ghoulden_core)
  add_executable(bench_net ${CMAKE_CURRENT_LIST_DIR}/bench_net.cpp)
  target_link_libraries(bench_net PRIVATE ghoulden_core gamedef_record benchmark::benchmark)
  if(TARGET gics-testserver)
    add_dependencies(bench_net gics-testserver)
  endif()
endif()
