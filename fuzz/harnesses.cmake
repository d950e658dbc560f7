# Every harness with what it links. The game's harnesses link the game's code as the tools do;
# the network ones the network library's objects (with its private headers), the movie ones
# their library.
set(FUZZ_LOBBEX_SRC ${CMAKE_SOURCE_DIR}/lobbex/src)

foreach(h muf map text keymap cmdline aud game_net save settings net_players)
  fuzz_harness(${h} SOURCES harness/${h}.cpp LIBS ghoulden_core)
endforeach()
fuzz_harness(model SOURCES harness/model.cpp LIBS game_testsupport ghoulden_core)

fuzz_harness(bmp SOURCES harness/bmp.cpp LIBS platform)
target_include_directories(fuzz_bmp PRIVATE ${CMAKE_SOURCE_DIR}/platform/src)
fuzz_harness(dplay_wire SOURCES harness/dplay_wire.cpp LIBS platform)

fuzz_harness(movie_container SOURCES harness/movie_container.cpp LIBS strimbuf)
fuzz_harness(movie_frame SOURCES harness/movie_frame.cpp LIBS vidvex platform)
fuzz_harness(movie_audio SOURCES harness/movie_audio.cpp LIBS sonvex_objects)
target_compile_options(fuzz_movie_audio PRIVATE -iquote ${CMAKE_SOURCE_DIR}/sonvex/src)

foreach(h net_address net_header net_xdr net_gamedef net_mux net_session net_multicast registry)
  fuzz_harness(${h} SOURCES harness/${h}.cpp LIBS lobbex_static)
  target_include_directories(fuzz_${h} PRIVATE ${FUZZ_LOBBEX_SRC})
endforeach()

fuzz_harness(net_speech SOURCES harness/net_speech.cpp LIBS lobbex_static)
target_include_directories(fuzz_net_speech PRIVATE ${FUZZ_LOBBEX_SRC})
target_compile_definitions(fuzz_net_speech PRIVATE SPEECH_CODEC_DIR="${SPEECH_CODEC_DIR}")
add_dependencies(fuzz_net_speech sc3dll vox)

# The seed writer (`make fuzz-seeds`): a plain program over the data kit and the encoders.
add_executable(fuzz_make_seeds seeds/make_seeds.cpp)
target_link_libraries(fuzz_make_seeds PRIVATE datakit lobbex_static platform)
target_include_directories(fuzz_make_seeds PRIVATE ${FUZZ_LOBBEX_SRC})
set_target_properties(fuzz_make_seeds PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
