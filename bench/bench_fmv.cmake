# bench_fmv: the demo intro's frames through the movie player's FMV_DecodeFrame into the 640x480
# 16-bit primary surface with its presenting Unlock, against a plain copy of the same decoded
# pictures into that surface with the same Unlock, in the same run.
if(TARGET ghoulden_core AND TARGET datakit)
  add_executable(bench_fmv ${CMAKE_CURRENT_LIST_DIR}/bench_fmv.cpp)
  target_link_libraries(bench_fmv PRIVATE ghoulden_core datakit benchmark::benchmark)
endif()
