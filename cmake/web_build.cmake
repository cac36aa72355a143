# cmake -DSOURCE_DIR=<repo> -DNPM=<npm or NOTFOUND> -DSTAMP=<file> -P web_build.cmake
#
# Runs `npm run build` when dist/index.html is missing or older than any designer source,
# then touches STAMP. Several build trees share one dist/, so the build holds a lock on
# node_modules/ and looks again once it has it: another tree may have just rebuilt.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/web_inputs.cmake)

set(index ${SOURCE_DIR}/dist/index.html)

function(dist_is_stale out)
  set(stale FALSE)
  if(NOT EXISTS ${index})
    set(stale TRUE)
  else()
    sorvendale_web_inputs(inputs ${SOURCE_DIR})
    foreach(input ${inputs})
      # IS_NEWER_THAN also holds for equal times, which errs towards rebuilding.
      if(${input} IS_NEWER_THAN ${index})
        set(stale TRUE)
        break()
      endif()
    endforeach()
  endif()
  set(${out} ${stale} PARENT_SCOPE)
endfunction()

dist_is_stale(stale)
if(stale)
  if(NOT NPM)
    message(FATAL_ERROR "dist/ is missing or older than web/, and npm was not found to rebuild it. "
                        "Install Node.js and npm, run `npm ci` and `npm run build` in ${SOURCE_DIR}, "
                        "or configure with -DSORVENDALE_WEB_BUILD=OFF to embed dist/ as it is.")
  endif()
  if(NOT EXISTS ${SOURCE_DIR}/node_modules/.bin/vite)
    message(FATAL_ERROR "dist/ is missing or older than web/, but node_modules/ lacks vite. "
                        "Run `npm ci` in ${SOURCE_DIR} first.")
  endif()
  file(LOCK ${SOURCE_DIR}/node_modules DIRECTORY GUARD PROCESS TIMEOUT 900 RESULT_VARIABLE locked)
  if(NOT locked EQUAL 0)
    message(FATAL_ERROR "Could not lock ${SOURCE_DIR}/node_modules for the web build: ${locked}")
  endif()
  dist_is_stale(stale)
  if(stale)
    message(STATUS "Building the designer: npm run build")
    execute_process(COMMAND ${NPM} run build WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "`npm run build` failed (${rc}); see its output above. Configure with "
                          "-DSORVENDALE_WEB_BUILD=OFF to embed dist/ as it is.")
    endif()
    if(NOT EXISTS ${index})
      message(FATAL_ERROR "`npm run build` produced no ${index}")
    endif()
  endif()
endif()
file(TOUCH ${STAMP})
