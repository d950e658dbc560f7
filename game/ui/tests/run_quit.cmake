# Runs the game headless in a fresh demo install with an input script that clicks the main menu's
# exit button and then "yes" in the quit dialog: the game must end by itself with code 0 long
# before its frame limit.
# Arguments: -DGHOULDEN=program -DDATAKIT=program -DWORK=directory
file(REMOVE_RECURSE "${WORK}")
execute_process(COMMAND "${DATAKIT}" "${WORK}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "ghoulden-datakit ${WORK} failed: ${rc}")
endif()
# The pointer starts at the centre (320, 240); exit is the fourth button (y 440..480), "yes" is
# 21 pixels right of the dialog's centre, which stands at the centre of the screen.
file(WRITE "${WORK}/quit.txt" "300 mouse move -220 220\n302 mouse down 0\n303 mouse up 0\n"
                             "310 mouse move 241 -220\n312 mouse down 0\n313 mouse up 0\n")
set(ENV{PLATFORM_BACKEND} headless)
set(ENV{PLATFORM_FRAMES} 100000)
set(ENV{PLATFORM_REGISTRY} "${WORK}/registry.ini")
set(ENV{PLATFORM_INPUT} "${WORK}/quit.txt")
unset(ENV{PLATFORM_SCREENSHOT})
execute_process(COMMAND "${GHOULDEN}" WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE rc TIMEOUT 60)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "ghoulden exited with ${rc}")
endif()
