# Runs the game headless in a demo install whose data.muf is damaged: cut to a few bytes, then
# replaced by a folder. Each time the game must end at once with a non-zero code and
# "FATAL ERROR: ..." naming the archive on stderr. Then, with the folder still in place, a good
# copy on the install source (SourcePath\pdata\data.muf) lets the game start and exit with 0.
# A missing data.muf, default palette or fallback texture ends the start in the same way.
# Arguments: -DGHOULDEN=program -DDATAKIT=program -DWORK=directory
file(REMOVE_RECURSE "${WORK}")
execute_process(COMMAND "${DATAKIT}" "${WORK}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "ghoulden-datakit ${WORK} failed: ${rc}")
endif()
if(NOT EXISTS "${WORK}/data.muf")
  message(FATAL_ERROR "the demo install has no data.muf beside the game")
endif()
set(ENV{PLATFORM_BACKEND} headless)
set(ENV{PLATFORM_FRAMES} 3)
set(ENV{PLATFORM_REGISTRY} "${WORK}/registry.ini")
unset(ENV{PLATFORM_INPUT})
unset(ENV{PLATFORM_SCREENSHOT})

# Runs the game, which must end with a non-zero code and a fatal message matching `pattern`.
function(expect_fatal what pattern)
  execute_process(COMMAND "${GHOULDEN}" WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE rc
                  ERROR_VARIABLE err OUTPUT_QUIET TIMEOUT 60)
  if(rc EQUAL 0)
    message(FATAL_ERROR "${what}: ghoulden exited with 0")
  endif()
  if(NOT err MATCHES "FATAL ERROR: ${pattern}")
    message(FATAL_ERROR "${what}: no fatal message naming the file:\n${err}")
  endif()
endfunction()

file(RENAME "${WORK}/data.muf" "${WORK}/data.good")
foreach(damage cut folder)
  file(REMOVE_RECURSE "${WORK}/data.muf")
  if(damage STREQUAL "cut")
    file(WRITE "${WORK}/data.muf" "MUF")
  else()
    file(MAKE_DIRECTORY "${WORK}/data.muf")
  endif()
  expect_fatal("${damage} data.muf" "Unable to open archive: [^\n]*data\\.muf")
endforeach()

# Files the install cannot run without, each missing in turn.
file(REMOVE_RECURSE "${WORK}/data.muf")
expect_fatal("no data.muf" "Unable to open archive: [^\n]*data\\.muf")
file(RENAME "${WORK}/data.good" "${WORK}/data.muf")
foreach(file def_pal.bin deftxtr.bmp)
  file(RENAME "${WORK}/${file}" "${WORK}/${file}.good")
  string(REPLACE "." "\\." pattern "${file}")
  expect_fatal("no ${file}" "Unable to open [a-z]+: ${pattern}")
  file(RENAME "${WORK}/${file}.good" "${WORK}/${file}")
endforeach()
file(RENAME "${WORK}/data.muf" "${WORK}/data.good")
file(MAKE_DIRECTORY "${WORK}/data.muf")

file(MAKE_DIRECTORY "${WORK}/pdata")
file(RENAME "${WORK}/data.good" "${WORK}/pdata/data.muf")
execute_process(COMMAND "${GHOULDEN}" WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE rc
                ERROR_VARIABLE err OUTPUT_QUIET TIMEOUT 60)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "damaged data.muf with a good source copy: ghoulden exited with ${rc}:\n${err}")
endif()
