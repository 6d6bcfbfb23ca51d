# The render tool and the VST 2.4 host it is built on. The host loads the plug-in
# library like a DAW does, so it links nothing of the plug-in's own code; it only
# shares the interface declarations in framework/plug/vst2/VstApi.h.
set(_tav_vsthost ${CMAKE_SOURCE_DIR}/tools/vsthost)
tav_platform_filter(TAV_VSTHOST_SOURCES
  ${_tav_vsthost}/MidiFile.cpp ${_tav_vsthost}/MidiFile.h ${_tav_vsthost}/Render.cpp ${_tav_vsthost}/Render.h
  ${_tav_vsthost}/Progress.cpp ${_tav_vsthost}/Progress.h ${_tav_vsthost}/Progress_posix.cpp
  ${_tav_vsthost}/Progress_win32.cpp
  ${_tav_vsthost}/PresetState.cpp ${_tav_vsthost}/PresetState.h
  ${_tav_vsthost}/PresetState_posix.cpp ${_tav_vsthost}/PresetState_win32.cpp
  ${_tav_vsthost}/VstHost.cpp ${_tav_vsthost}/VstHost.h ${_tav_vsthost}/VstHost_posix.cpp ${_tav_vsthost}/VstHost_win32.cpp
  ${_tav_vsthost}/WideText_win32.h)
add_library(tavrinel_vsthost STATIC ${TAV_VSTHOST_SOURCES})
target_include_directories(tavrinel_vsthost PUBLIC
  ${CMAKE_SOURCE_DIR}/tools/vsthost
  ${CMAKE_SOURCE_DIR}/framework/plug/vst2)
target_link_libraries(tavrinel_vsthost PUBLIC ${CMAKE_DL_LIBS})

# The piano roll, drawn with the bitmap layer.
set(_tav_pianoroll ${CMAKE_SOURCE_DIR}/tools/pianoroll)
add_library(tavrinel_pianoroll STATIC ${_tav_pianoroll}/PianoRoll.cpp ${_tav_pianoroll}/PianoRoll.h)
target_include_directories(tavrinel_pianoroll PUBLIC ${_tav_pianoroll} PRIVATE ${CMAKE_SOURCE_DIR}/tools)
target_link_libraries(tavrinel_pianoroll PUBLIC tavrinel_vsthost tav_bitmap)

add_executable(tavrinel_render ${CMAKE_SOURCE_DIR}/tools/vsthost/render_main.cpp)
target_link_libraries(tavrinel_render PRIVATE tavrinel_vsthost tavrinel_pianoroll)

# The audio render on FluidSynth (Linux, when its headers are there; Debian ships
# no Windows build of it, so the Windows tool answers --wav with a message).
if(NOT WIN32)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(FLUIDSYNTH QUIET IMPORTED_TARGET fluidsynth)
  endif()
  if(FLUIDSYNTH_FOUND)
    set(_tav_synth ${CMAKE_SOURCE_DIR}/tools/synth)
    add_library(tavrinel_synth STATIC ${_tav_synth}/SynthRender.cpp ${_tav_synth}/SynthRender.h
                                      ${_tav_synth}/WavWriter.cpp ${_tav_synth}/WavWriter.h)
    target_include_directories(tavrinel_synth PUBLIC ${_tav_synth})
    target_link_libraries(tavrinel_synth PUBLIC tavrinel_vsthost PRIVATE PkgConfig::FLUIDSYNTH)
    target_link_libraries(tavrinel_render PRIVATE tavrinel_synth)
    target_compile_definitions(tavrinel_render PRIVATE TAV_RENDER_WAV=1)
  else()
    message(STATUS "fluidsynth not found: tavrinel_render is built without --wav")
  endif()
endif()
if(TARGET Tavrinel)
  # The tool's default plug-in is the one built beside it.
  add_dependencies(tavrinel_render Tavrinel)
endif()
if(TARGET tavrinel_preset2state)
  # --preset runs the converter that sits beside the tool.
  add_dependencies(tavrinel_render tavrinel_preset2state)
endif()

# The LV2 host on lilv, for rendering the LV2 plug-in (Linux, when lilv is there).
if(NOT WIN32)
  if(PkgConfig_FOUND)
    pkg_check_modules(LILV QUIET IMPORTED_TARGET lilv-0)
  endif()
  if(LILV_FOUND)
    set(_tav_lv2host ${CMAKE_SOURCE_DIR}/tools/lv2host)
    add_library(tavrinel_lv2host STATIC ${_tav_lv2host}/Lv2Host.cpp ${_tav_lv2host}/Lv2Host.h
                                        ${_tav_lv2host}/Lv2Render.cpp ${_tav_lv2host}/Lv2Render.h)
    target_include_directories(tavrinel_lv2host PUBLIC ${_tav_lv2host})
    target_link_libraries(tavrinel_lv2host PUBLIC tavrinel_vsthost PkgConfig::LILV)
    target_link_libraries(tavrinel_render PRIVATE tavrinel_lv2host)
    target_compile_definitions(tavrinel_render PRIVATE TAV_RENDER_LV2=1)
  else()
    message(STATUS "lilv-0 not found: tavrinel_render is built without --lv2")
  endif()
endif()
