# The LV2 bundle around the shared object Tavrinel_lv2: its Turtle files,
# generated at build time from the plug-in's parameter table, the install rules
# and the checks of the Turtle. Include it after the plug-in library targets.
#
# TAV_LV2_INSTALL_DIR: the folder Tavrinel.lv2 is installed into; relative to
# the prefix unless absolute (-DTAV_LV2_INSTALL_DIR=$HOME/.lv2 installs the
# bundle for one user).
if(WIN32 OR NOT TARGET Tavrinel_lv2)
  return()
endif()

set(TAV_LV2_BUNDLE_DIR "${CMAKE_BINARY_DIR}/Tavrinel.lv2")
set(TAV_LV2_TTL "${TAV_LV2_BUNDLE_DIR}/manifest.ttl" "${TAV_LV2_BUNDLE_DIR}/Tavrinel.ttl")

# The generator is needed by every build of the bundle, with or without the other tools.
add_executable(tavrinel_lv2_ttl ${CMAKE_SOURCE_DIR}/tools/tavrinel_lv2_ttl.cpp)
target_link_libraries(tavrinel_lv2_ttl PRIVATE tav_plugin)
add_custom_command(OUTPUT ${TAV_LV2_TTL}
  COMMAND ${CMAKE_COMMAND} -E make_directory "${TAV_LV2_BUNDLE_DIR}"
  COMMAND tavrinel_lv2_ttl "${TAV_LV2_BUNDLE_DIR}" ${PROJECT_VERSION}
  DEPENDS tavrinel_lv2_ttl
  COMMENT "Describing the LV2 plug-in in ${TAV_LV2_BUNDLE_DIR}"
  VERBATIM)
add_custom_target(Tavrinel_lv2_ttl DEPENDS ${TAV_LV2_TTL})
add_dependencies(Tavrinel_lv2 Tavrinel_lv2_ttl)

# ---- install: the bundle (stripped like the VST library) and its Tavrinel.ini ----
set(TAV_LV2_INSTALL_DIR "${CMAKE_INSTALL_LIBDIR}/lv2" CACHE STRING
    "Folder Tavrinel.lv2 is installed into (relative: under the prefix; \$HOME/.lv2 for one user)")
install(TARGETS Tavrinel_lv2 LIBRARY DESTINATION "${TAV_LV2_INSTALL_DIR}/Tavrinel.lv2")
install(FILES ${TAV_LV2_TTL} DESTINATION "${TAV_LV2_INSTALL_DIR}/Tavrinel.lv2")
tav_install_ini("${TAV_LV2_INSTALL_DIR}/Tavrinel.lv2")

# ---- checks ----
if(NOT TAV_TESTS)
  return()
endif()

find_program(TAV_SORD_VALIDATE sord_validate)
find_program(TAV_LV2LS lv2ls)
find_program(TAV_LV2INFO lv2info)

# The Turtle is valid against the schemas of the LV2 specifications it uses,
# with the RDF, OWL and DOAP vocabularies they are written in (schemas) and the
# old event extension the MIDI one derives its event class from.
set(_tav_lv2_schemas)
foreach(spec core atom midi time ui state units urid options buf-size resize-port port-props instance-access
             schemas event)
  file(GLOB _ttl /usr/lib/lv2/${spec}.lv2/*.ttl)
  list(APPEND _tav_lv2_schemas ${_ttl})
endforeach()
list(SORT _tav_lv2_schemas)
if(TAV_SORD_VALIDATE AND _tav_lv2_schemas)
  add_test(NAME lv2_turtle_validates COMMAND ${TAV_SORD_VALIDATE} -l ${TAV_LV2_TTL} ${_tav_lv2_schemas})
  # sord_validate exits with 0 whatever it finds: its summary line decides.
  set_tests_properties(lv2_turtle_validates PROPERTIES PASS_REGULAR_EXPRESSION "Found 0 errors among" TIMEOUT 60)
endif()

# The LV2 tools find the plug-in in the build tree and describe its 32 ports.
if(TAV_LV2LS AND TAV_LV2INFO)
  add_test(NAME lv2_bundle_listed COMMAND ${TAV_LV2LS})
  add_test(NAME lv2_bundle_described COMMAND ${TAV_LV2INFO} urn:quellbrook:tavrinel)
  set_tests_properties(lv2_bundle_listed lv2_bundle_described PROPERTIES
                       ENVIRONMENT "LV2_PATH=${CMAKE_BINARY_DIR}" TIMEOUT 60)
  set_tests_properties(lv2_bundle_listed PROPERTIES PASS_REGULAR_EXPRESSION "(^|\n)urn:quellbrook:tavrinel\n")
  set_tests_properties(lv2_bundle_described PROPERTIES
                       PASS_REGULAR_EXPRESSION "\n[ \t]*Port 31:" FAIL_REGULAR_EXPRESSION "Port 32:")
endif()

# tests/lv2bundle reads the Turtle through lilv, as hosts do, and compares it
# with the parameter table; its program exists once the tests are defined.
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(TAV_LILV QUIET IMPORTED_TARGET lilv-0)
endif()
function(tav_lv2_turtle_test)
  if(TARGET test_lv2_turtle_linux AND TARGET PkgConfig::TAV_LILV)
    target_link_libraries(test_lv2_turtle_linux PRIVATE PkgConfig::TAV_LILV)
    target_compile_definitions(test_lv2_turtle_linux PRIVATE TAV_LV2_BUNDLE_DIR="${TAV_LV2_BUNDLE_DIR}"
      TAV_LV2_TTL_TOOL="$<TARGET_FILE:tavrinel_lv2_ttl>" TAV_PROJECT_VERSION="${PROJECT_VERSION}")
    add_dependencies(test_lv2_turtle_linux Tavrinel_lv2_ttl)
  endif()
endfunction()
cmake_language(DEFER CALL tav_lv2_turtle_test)
