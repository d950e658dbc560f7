# Unity builds (option UNITY): the file-local names that two sources of one target both define.
#
# In a unity build a target's sources are compiled in batches, several to one compiler run, so two
# sources that each define a helper of the same name in an anonymous namespace (a module's
# `kKrModule`, a state accessor `S()`, a test's `Hex()`) would meet. For the names listed here every
# source of the target gets its own copy of the name instead: the batch defines the name, before
# each source, as a macro that appends the source's unique id (`kKrModule` becomes
# `kKrModule_unity_...`), and drops it after the source. A file compiled on its own, as in the plain
# build, is untouched. A name that a shared header also declares must not be listed (a source that
# used the header's one would then fail to compile, loudly).
#
# Sources that compile on their own even in a unity build, because a name they define clashes with
# one that a shared header declares (so it cannot be made file-local as above):
#   lobbex/tests/gulp_test.cpp   its own Hex() beside the test helpers' kx::Hex
set(GX_UNITY_ALONE
  "lobbex_tests: lobbex/tests/gulp_test.cpp"
)

# Targets that stay one file per compile: static libraries whose members programs take one by one
# (a batch would be one member, and would pull in what the program never needed).
#   game_testsupport   worldsim takes its seams, not the GoogleTest-using loopback hub
set(GX_UNITY_OFF
  game_testsupport
)

# A source added later that clashes in a batch shows as a redefinition error in the unity build;
# add the name to its target's line here.
set(GX_UNITY_FILE_LOCAL
  "platform: S M R"
  "platform_tests: Key Listed Proc Seen"
  "datakit: kRate"
  "lobbex_objs: kKrModule Tag kStatusExists kChains kProtocolOptions kServiceKey State PutLe32"
  "lobbex_tests: Key Listener Stat TestTick Record"
  "vidvex_tests: Avg Screen kMarker"
  "sonvex_objects: le16"
  "sonvex_tests: kBuffer kStream"
  "ghoulden_core: NET_FreeText NET_SlotInRange kTwoPi PlanDistance kHalfPi kTargetHeight kZombieGameType kHeaderBytes Corner Cross Dot IsDigit IsSpace Sub UnitFrom AiOf kFirstSlot kLastSlot"
  "game_engine_tests: Origin kPi"
  "game_world_tests: kAxe kPi Matching kPistol kColt kM16 kColtAmmo kGrenade"
  "game_ui_tests: IsHost kTransport"
  "game_net_tests: Delivery Record"
  "game_app_tests: Calls Concat"
  "krpeer: kGuardSeconds"
  "krpeer_tests: To"
  "nettool_tests: kServer"
)

function(gx_unity_file_local target)
  set(before "#ifndef GX_UNITY_LOCAL\n#define GX_UNITY_CAT2(a, b) a##_##b\n#define GX_UNITY_CAT(a, b) GX_UNITY_CAT2(a, b)\n#define GX_UNITY_LOCAL(name) GX_UNITY_CAT(name, GX_UNITY_ID)\n#endif")
  set(after "")
  foreach(name ${ARGN})
    string(APPEND before "\n#define ${name} GX_UNITY_LOCAL(${name})")
    string(APPEND after "#undef ${name}\n")
  endforeach()
  set_target_properties(${target} PROPERTIES UNITY_BUILD_UNIQUE_ID GX_UNITY_ID
    UNITY_BUILD_CODE_BEFORE_INCLUDE "${before}" UNITY_BUILD_CODE_AFTER_INCLUDE "${after}")
endfunction()

function(gx_unity_apply)
  foreach(target ${GX_UNITY_OFF})
    if(TARGET ${target})
      set_target_properties(${target} PROPERTIES UNITY_BUILD OFF)
    endif()
  endforeach()
  foreach(line ${GX_UNITY_ALONE})
    string(REGEX MATCH "^([^:]+): (.*)$" _ "${line}")
    if(TARGET ${CMAKE_MATCH_1})
      set_source_files_properties(${CMAKE_SOURCE_DIR}/${CMAKE_MATCH_2} TARGET_DIRECTORY ${CMAKE_MATCH_1}
        PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
    endif()
  endforeach()
  foreach(line ${GX_UNITY_FILE_LOCAL})
    string(REGEX MATCH "^([^:]+): (.*)$" _ "${line}")
    set(target ${CMAKE_MATCH_1})
    separate_arguments(names UNIX_COMMAND "${CMAKE_MATCH_2}")
    if(TARGET ${target})
      gx_unity_file_local(${target} ${names})
    endif()
  endforeach()
endfunction()
