# One test program per tests/<folder>/test_*.cpp, all sharing tests/support.
if(CMAKE_CROSSCOMPILING)
  # No packaged GoogleTest for mingw: build Debian's own GoogleTest sources.
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()
# tests/support: fakes, the reference model and the host harness, header-only
# where they need the plug-in's layers (each test sees the layers of its folder).
tav_platform_filter(_tav_support_sources tests/support/AllocCounter.cpp tests/support/LockRecorder_posix.cpp
  tests/support/ReferenceModel.cpp
  tests/support/VstHostSupport.cpp tests/support/VstHostSupport_posix.cpp tests/support/VstHostSupport_win32.cpp)
add_library(tavrinel_test_support STATIC ${_tav_support_sources})
target_include_directories(tavrinel_test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests/support
  PRIVATE ${CMAKE_SOURCE_DIR}/framework/plug/vst2)
target_link_libraries(tavrinel_test_support PUBLIC GTest::gtest Threads::Threads ${CMAKE_DL_LIBS})

# The tests of each folder link the layer they test (and see what it sees).
set(TAV_TEST_FOLDERS
  bitmap:tav_bitmap
  plug:tav_plug
  plug/vst2:tav_vst2,tav_graphics_offscreen
  plug/vst3:tav_vst3
  graphics:tav_graphics_offscreen
  graphics/native:tav_graphics_native
  model:tav_model
  settings:tav_settings
  plugin:tav_plugin,tav_vst2,tav_editor_factory,tav_graphics_offscreen
  editor:tav_editor_factory,tav_vst2,tav_graphics_offscreen
  wrappers:tav_vst2,tav_editor_factory,tav_graphics_offscreen
  lv2host:tavrinel_lv2host,tavrinel_vsthost
  vst3host:tavrinel_vst3host
  pianoroll:tavrinel_pianoroll
  synth:tavrinel_synth,tavrinel_lv2host
  lv2bundle:tav_plugin)
# The golden songs play through the render tool's hosts, LV2 too where it is built (and
# VST3 where the bundle is).
if(TARGET tavrinel_lv2host)
  list(APPEND TAV_TEST_FOLDERS golden:tavrinel_lv2host,tavrinel_vst3host)
elseif(TARGET tavrinel_vsthost)
  list(APPEND TAV_TEST_FOLDERS golden:tavrinel_vst3host)
endif()
if(TARGET tav_lv2)
  list(APPEND TAV_TEST_FOLDERS plug/lv2:tav_lv2,tav_editor_factory,tav_graphics_offscreen)
endif()
set(TAV_TEST_SOURCES)
foreach(entry ${TAV_TEST_FOLDERS})
  string(REPLACE ":" ";" entry "${entry}")
  list(GET entry 0 folder)
  list(GET entry 1 layers)
  string(REPLACE "," ";" layers "${layers}")
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${folder}/test_*.cpp)
  tav_platform_filter(sources ${sources})
  foreach(src ${sources})
    get_filename_component(name "${src}" NAME_WE)
    set(TAV_TEST_LAYERS_${name} ${layers})
    list(APPEND TAV_TEST_SOURCES ${src})
  endforeach()
endforeach()
# A test outside these folders would be silently left out.
file(GLOB_RECURSE _tav_unplaced CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/test_*.cpp)
tav_platform_filter(_tav_unplaced ${_tav_unplaced})
list(REMOVE_ITEM _tav_unplaced ${TAV_TEST_SOURCES})
if(NOT TARGET tav_lv2)
  list(FILTER _tav_unplaced EXCLUDE REGEX "/tests/plug/lv2/")
endif()
if(NOT TARGET tavrinel_vsthost)
  list(FILTER _tav_unplaced EXCLUDE REGEX "/tests/golden/")
endif()
if(_tav_unplaced)
  message(FATAL_ERROR "tests outside the folders of TAV_TEST_FOLDERS: ${_tav_unplaced}")
endif()

foreach(src ${TAV_TEST_SOURCES})
  get_filename_component(name "${src}" NAME_WE)
  set(_tav_unbuilt OFF)
  foreach(layer ${TAV_TEST_LAYERS_${name}})
    if(NOT TARGET ${layer})
      set(_tav_unbuilt ON) # built without lilv or FluidSynth
    endif()
  endforeach()
  if(_tav_unbuilt)
    continue()
  endif()
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE ${TAV_TEST_LAYERS_${name}} tavrinel_test_support GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE TAV_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  if(TARGET Tavrinel)
    add_dependencies(${name} Tavrinel)
    target_compile_definitions(${name} PRIVATE TAV_PLUGIN_PATH="$<TARGET_FILE:Tavrinel>")
  endif()
  if(TARGET Tavrinel_lv2 AND "tavrinel_lv2host" IN_LIST TAV_TEST_LAYERS_${name})
    add_dependencies(${name} Tavrinel_lv2)
    target_compile_definitions(${name} PRIVATE TAV_LV2_BUNDLE="$<TARGET_FILE_DIR:Tavrinel_lv2>")
  endif()
  if("tavrinel_vst3host" IN_LIST TAV_TEST_LAYERS_${name})
    # The VST3 bundle, once the build makes one, and the render tool that plays it.
    add_dependencies(${name} tavrinel_render)
    target_compile_definitions(${name} PRIVATE TAV_VST3_BUNDLE="${CMAKE_BINARY_DIR}/Tavrinel.vst3"
                                               TAV_RENDER_TOOL="$<TARGET_FILE:tavrinel_render>")
  endif()
  if("tavrinel_synth" IN_LIST TAV_TEST_LAYERS_${name})
    # The audio tests also run the render tool itself.
    add_dependencies(${name} tavrinel_render)
    target_compile_definitions(${name} PRIVATE TAV_RENDER_TOOL="$<TARGET_FILE:tavrinel_render>")
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  if(NOT WIN32)
    # The editor takes its size from the user's settings: not the developer's.
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-user-config")
  endif()
  if(name MATCHES "_x11$")
    # Windows of one test must not cover another's on the shared display.
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK x11_display)
  endif()
  if(CMAKE_CROSSCOMPILING AND TAV_WINE_FIXTURES)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
  endif()
endforeach()

if(CMAKE_CROSSCOMPILING AND TAV_WINE_FIXTURES)
  # One persistent wineserver for the whole run: a server started inside a test
  # keeps CTest's output pipe open and stalls it.
  add_test(NAME wine_start COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-server.sh start)
  add_test(NAME wine_stop COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-server.sh stop)
  set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 120)
  set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)
endif()

if(TARGET test_host_contract AND TARGET tav_lv2)
  # The host contract runs against every wrapper this build has.
  target_link_libraries(test_host_contract PRIVATE tav_lv2)
  target_compile_definitions(test_host_contract PRIVATE TAV_WITH_LV2)
endif()

if(TARGET test_golden AND TARGET tavrinel_preset2state)
  # Its preset files reach the plug-in through the converter, as the render tool's do.
  add_dependencies(test_golden tavrinel_preset2state)
endif()

# An install strips the plug-in; the build tree's copy keeps its debug information.
if(TARGET Tavrinel AND CMAKE_OBJDUMP)
  add_test(NAME install_strips_the_plugin
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DBUILD_TYPE=${CMAKE_BUILD_TYPE}
                   -DPLUGIN=$<TARGET_FILE:Tavrinel> -DOBJDUMP=${CMAKE_OBJDUMP}
                   -P ${CMAKE_SOURCE_DIR}/cmake/CheckInstall.cmake)
  set_tests_properties(install_strips_the_plugin PROPERTIES TIMEOUT 120)
endif()
# Each plug-in library shows hosts its entry points and nothing else.
set(_tav_exports)
if(TARGET Tavrinel)
  list(APPEND _tav_exports "$<TARGET_FILE:Tavrinel>=VSTPluginMain,main")
endif()
if(TARGET Tavrinel_lv2)
  list(APPEND _tav_exports "$<TARGET_FILE:Tavrinel_lv2>=lv2_descriptor,lv2ui_descriptor")
endif()
if(_tav_exports)
  list(JOIN _tav_exports "|" _tav_exports)
  add_test(NAME plugin_libraries_export_their_entry_points_only
           COMMAND ${CMAKE_COMMAND} "-DLIBRARIES=${_tav_exports}" -DNM=${CMAKE_NM} -DOBJDUMP=${CMAKE_OBJDUMP}
                   -P ${CMAKE_SOURCE_DIR}/cmake/CheckExports.cmake)
  set_tests_properties(plugin_libraries_export_their_entry_points_only PROPERTIES TIMEOUT 60)
endif()
include(${CMAKE_SOURCE_DIR}/tests/Layers.cmake)
