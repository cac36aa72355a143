# Compiles the designer's build output (dist/) into sorvendale_core.
#
# Two steps run at build time:
#   1. web-build.stamp: `npm run build` when dist/ is missing or older than the designer's
#      sources (cmake/web_build.cmake decides, so a fresh build tree does not rebuild a
#      dist/ that is already current).
#   2. sorvendale_embed: snapshots dist/ into generated/dist/ and writes
#      embedded_files_table.cpp from it (cmake/embed_dist.cmake). It runs on every build
#      because dist/ may also be rebuilt from outside this tree; the source is rewritten only
#      when a name, size or hash changed, so an unchanged dist/ recompiles nothing.
#
# Include after add_library(sorvendale_core ...).

option(SORVENDALE_WEB_BUILD "Run npm run build when dist/ is older than the designer sources" ON)

set(sorvendale_dist_dir ${CMAKE_SOURCE_DIR}/dist)
set(sorvendale_embed_source ${CMAKE_BINARY_DIR}/generated/embedded_files_table.cpp)
set(sorvendale_embed_snapshot ${CMAKE_BINARY_DIR}/generated/dist)
set(sorvendale_web_stamp ${CMAKE_BINARY_DIR}/generated/web-build.stamp)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/generated)

include(${CMAKE_CURRENT_LIST_DIR}/web_inputs.cmake)
sorvendale_web_inputs(sorvendale_web_inputs ${CMAKE_SOURCE_DIR} CONFIGURE_DEPENDS)

if(SORVENDALE_WEB_BUILD)
  find_program(SORVENDALE_NPM npm)
  # The script re-globs the inputs itself: a list this long does not belong on a command line.
  add_custom_command(
    OUTPUT ${sorvendale_web_stamp}
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DNPM=${SORVENDALE_NPM}
            -DSTAMP=${sorvendale_web_stamp} -P ${CMAKE_SOURCE_DIR}/cmake/web_build.cmake
    DEPENDS ${sorvendale_web_inputs} ${CMAKE_SOURCE_DIR}/cmake/web_build.cmake
    COMMENT "Checking the designer build in dist/"
    VERBATIM)
  set(sorvendale_embed_depends ${sorvendale_web_stamp})
else()
  set(sorvendale_embed_depends)
endif()

add_custom_target(sorvendale_embed
  COMMAND ${CMAKE_COMMAND} -DDIST_DIR=${sorvendale_dist_dir} -DSNAPSHOT_DIR=${sorvendale_embed_snapshot}
          -DOUTPUT=${sorvendale_embed_source}
          -P ${CMAKE_SOURCE_DIR}/cmake/embed_dist.cmake
  DEPENDS ${sorvendale_embed_depends}
  BYPRODUCTS ${sorvendale_embed_source}
  COMMENT "Embedding dist/"
  VERBATIM)

target_sources(sorvendale_core PRIVATE ${sorvendale_embed_source})
# The table checks each file's size with assembler arithmetic on the labels around its
# .incbin, which clang's integrated assembler cannot evaluate; the system assembler can.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  set_source_files_properties(${sorvendale_embed_source} PROPERTIES COMPILE_OPTIONS
                              -fno-integrated-as)
endif()
add_dependencies(sorvendale_core sorvendale_embed)

# The tests compare what the server sends with the files this build embedded.
function(sorvendale_embed_tell_tests)
  if(TARGET sorvendale_tests)
    target_compile_definitions(sorvendale_tests PRIVATE
      SORVENDALE_EMBEDDED_DIST="${sorvendale_embed_snapshot}")
  endif()
endfunction()
cmake_language(DEFER CALL sorvendale_embed_tell_tests)
