# The demo enters a level: a fresh demo install (CD music off in its options file) played headless
# for 600 frames with the install's demo-input.txt (single player, then the level map's start).
# The game must exit with code 0 and its last frame must equal the golden picture of the level.
# Arguments: -DGHOULDEN=program -DDATAKIT=program -DWORK=directory -DGOLDEN=png
file(REMOVE_RECURSE "${WORK}")
execute_process(COMMAND "${DATAKIT}" "${WORK}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "ghoulden-datakit ${WORK} failed: ${rc}")
endif()
set(ENV{PLATFORM_BACKEND} headless)
set(ENV{PLATFORM_FRAMES} 600)
set(ENV{PLATFORM_REGISTRY} "${WORK}/registry.ini")
set(ENV{PLATFORM_SCREENSHOT} "${WORK}/demo.png")
set(ENV{PLATFORM_AUDIO_OUT} "${WORK}/demo.wav")
set(ENV{PLATFORM_INPUT} "${WORK}/demo-input.txt")
execute_process(COMMAND "${GHOULDEN}" WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE rc TIMEOUT 240)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "ghoulden exited with ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/demo.png" "${GOLDEN}" RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "the last frame ${WORK}/demo.png differs from ${GOLDEN}")
endif()
