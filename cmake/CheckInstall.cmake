# Test script: installs the build tree BUILD_DIR into a scratch prefix; the
# installed plug-in must have no debug sections, the built one (PLUGIN) must
# keep them in the build types that carry debug information.
#   cmake -DBUILD_DIR=... -DBUILD_TYPE=... -DPLUGIN=... -DOBJDUMP=... -P CheckInstall.cmake

function(has_debug_sections file out)
  execute_process(COMMAND "${OBJDUMP}" -h "${file}" OUTPUT_VARIABLE sections RESULT_VARIABLE rc ERROR_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} cannot read '${file}'")
  endif()
  string(REGEX MATCH "[ \t]\\.debug_" found "${sections}")
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

set(prefix "${BUILD_DIR}/install-check")
file(REMOVE_RECURSE "${prefix}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}" RESULT_VARIABLE rc OUTPUT_QUIET)
get_filename_component(name "${PLUGIN}" NAME)
file(GLOB_RECURSE installed "${prefix}/*/${name}")
if(NOT rc EQUAL 0 OR NOT installed)
  message(FATAL_ERROR "cmake --install failed (${rc}) or installed no ${name}")
endif()
has_debug_sections("${installed}" installed_debug)
has_debug_sections("${PLUGIN}" built_debug)
if(installed_debug)
  message(FATAL_ERROR "the installed ${installed} carries debug sections")
elseif(BUILD_TYPE MATCHES "^(Debug|RelWithDebInfo)$" AND NOT built_debug)
  message(FATAL_ERROR "the built ${PLUGIN} lost its debug sections (${BUILD_TYPE})")
endif()
file(SIZE "${PLUGIN}" built_size)
file(SIZE "${installed}" installed_size)
message(STATUS "${name}: ${built_size} bytes built, ${installed_size} bytes installed")
file(REMOVE_RECURSE "${prefix}")
