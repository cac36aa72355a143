# The files the designer build reads: web/ without its tests, and the root configuration.
# Shared by embed.cmake (build dependencies) and web_build.cmake (the freshness check).
function(sorvendale_web_inputs out source_dir)
  file(GLOB_RECURSE inputs ${ARGN} ${source_dir}/web/*)
  list(FILTER inputs EXCLUDE REGEX "^${source_dir}/web/(tests/|vitest\\.config\\.)")
  foreach(extra package.json package-lock.json vite.config.ts tsconfig.json)
    if(EXISTS ${source_dir}/${extra})
      list(APPEND inputs ${source_dir}/${extra})
    endif()
  endforeach()
  set(${out} ${inputs} PARENT_SCOPE)
endfunction()
