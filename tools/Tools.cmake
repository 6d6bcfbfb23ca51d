# The render tool and the VST 2.4 host it is built on. The host loads the plug-in
# library like a DAW does, so it links nothing of the plug-in's own code; it only
# shares the interface declarations in framework/plug/VstApi.h.
file(GLOB TAV_VSTHOST_ALL CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/vsthost/*.cpp)
list(FILTER TAV_VSTHOST_ALL EXCLUDE REGEX "/render_main\\.cpp$")
tav_platform_filter(TAV_VSTHOST_SOURCES ${TAV_VSTHOST_ALL})
add_library(tavrinel_vsthost STATIC ${TAV_VSTHOST_SOURCES})
target_include_directories(tavrinel_vsthost PUBLIC
  ${CMAKE_SOURCE_DIR}/tools/vsthost
  ${CMAKE_SOURCE_DIR}/framework/plug)
target_link_libraries(tavrinel_vsthost PUBLIC ${CMAKE_DL_LIBS})

add_executable(tavrinel_render ${CMAKE_SOURCE_DIR}/tools/vsthost/render_main.cpp)
target_link_libraries(tavrinel_render PRIVATE tavrinel_vsthost)
if(TARGET Tavrinel)
  # The tool's default plug-in is the one built beside it.
  add_dependencies(tavrinel_render Tavrinel)
endif()
if(TARGET tavrinel_preset2state)
  # --preset runs the converter that sits beside the tool.
  add_dependencies(tavrinel_render tavrinel_preset2state)
endif()
