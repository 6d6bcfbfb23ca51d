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

if(TARGET Tavrinel)
  # The tool's default plug-in is the one built beside it.
  add_dependencies(tavrinel_render Tavrinel)
endif()
if(TARGET tavrinel_preset2state)
  # --preset runs the converter that sits beside the tool.
  add_dependencies(tavrinel_render tavrinel_preset2state)
endif()

# A part of the render tool on a library found through pkg-config (Linux only): a
# static library of the folder's sources, linked into the tool with `define` set,
# or a message saying which option the tool goes without.
function(tav_render_part target prefix module define option folder)
  if(WIN32)
    return()
  endif()
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(${prefix} QUIET IMPORTED_TARGET ${module})
  endif()
  if(NOT ${prefix}_FOUND)
    message(STATUS "${module} not found: tavrinel_render is built without ${option}")
    return()
  endif()
  set(dir ${CMAKE_SOURCE_DIR}/tools/${folder})
  list(TRANSFORM ARGN PREPEND ${dir}/)
  add_library(${target} STATIC ${ARGN})
  target_include_directories(${target} PUBLIC ${dir})
  target_link_libraries(${target} PUBLIC tavrinel_vsthost PkgConfig::${prefix})
  target_link_libraries(tavrinel_render PRIVATE ${target})
  target_compile_definitions(tavrinel_render PRIVATE ${define}=1)
endfunction()

# The LV2 host on lilv, for rendering the LV2 plug-in.
tav_render_part(tavrinel_lv2host LILV lilv-0 TAV_RENDER_LV2 --lv2 lv2host
                Lv2Host.cpp Lv2Host.h Lv2Render.cpp Lv2Render.h)
# The audio render on FluidSynth (Debian ships no Windows build of it, so the
# Windows tool answers --wav with a message).
tav_render_part(tavrinel_synth FLUIDSYNTH fluidsynth TAV_RENDER_WAV --wav synth
                SynthRender.cpp SynthRender.h WavWriter.cpp WavWriter.h)

# The VST3 host, for rendering the VST3 plug-in (--vst3) and for its tests: like the
# VST 2.4 host it loads the plug-in's module as a DAW does and shares nothing with
# the plug-in but the interface declarations (framework/plug/vst3).
set(_tav_vst3host ${CMAKE_SOURCE_DIR}/tools/vst3host)
tav_platform_filter(TAV_VST3HOST_SOURCES
  ${_tav_vst3host}/Vst3Host.cpp ${_tav_vst3host}/Vst3Host.h ${_tav_vst3host}/Vst3Host_posix.cpp
  ${_tav_vst3host}/Vst3Host_win32.cpp ${_tav_vst3host}/Vst3HostObjects.cpp ${_tav_vst3host}/Vst3HostObjects.h
  ${_tav_vst3host}/Vst3Render.cpp ${_tav_vst3host}/Vst3Render.h)
add_library(tavrinel_vst3host STATIC ${TAV_VST3HOST_SOURCES})
target_include_directories(tavrinel_vst3host PUBLIC ${_tav_vst3host})
target_link_libraries(tavrinel_vst3host PUBLIC tavrinel_vsthost tav_vst3)
target_link_libraries(tavrinel_render PRIVATE tavrinel_vst3host)
