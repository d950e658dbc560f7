# The compiler cache: when ccache is installed, every compile goes through it, so a second build of
# the same sources (another clone, another build folder with the same flags, a clean rebuild)
# takes its objects from the cache instead of compiling them again.
#
#   CCACHE_BASEDIR   paths under the source tree are hashed relative to the build folder, so two
#                    clones in different folders share their hits;
#   CCACHE_NOHASHDIR the build folder's absolute path stays out of the hash even though the objects
#                    carry debug information (their recorded compile folder is then the one of the
#                    clone that filled the cache; file names in the line tables stay relative);
#   CCACHE_DEPEND    the hash comes from the compiler's own dependency file (-MD, which Ninja asks
#                    for anyway), so a miss costs no separate preprocessor run.
#
# A launcher given on the command line (-DCMAKE_CXX_COMPILER_LAUNCHER=...) is kept as it is, and
# -DCOMPILER_CACHE=OFF builds without the cache. Without ccache the build runs as before.
option(COMPILER_CACHE "Compile through ccache when it is installed" ON)

if(COMPILER_CACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER AND NOT CMAKE_C_COMPILER_LAUNCHER)
  find_program(CCACHE_PROGRAM ccache)
  if(CCACHE_PROGRAM)
    set(GX_CCACHE_LAUNCHER ${CMAKE_COMMAND} -E env
      CCACHE_BASEDIR=${CMAKE_SOURCE_DIR} CCACHE_NOHASHDIR=1 CCACHE_DEPEND=1
      ${CCACHE_PROGRAM})
    set(CMAKE_C_COMPILER_LAUNCHER ${GX_CCACHE_LAUNCHER})
    set(CMAKE_CXX_COMPILER_LAUNCHER ${GX_CCACHE_LAUNCHER})
    message(STATUS "Compiler cache: ${CCACHE_PROGRAM}")
  else()
    message(STATUS "Compiler cache: ccache not found, compiling without it")
  endif()
endif()
