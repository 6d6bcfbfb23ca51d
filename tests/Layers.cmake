# Each layer must fail to compile a header from a layer above it. One probe per
# pair: a one-line source built against the layer alone, whose compiler output
# must name the header as not found (any other failure fails the test).
# Run as a script (-DTAV_SCAN_ROOT=...), it checks that the code includes its
# own headers by name only: a path such as "vst2/IPlugVST.h" would reach from a
# layer into the sub-folder above it.
if(DEFINED TAV_SCAN_ROOT)
  file(GLOB_RECURSE files ${TAV_SCAN_ROOT}/src/*.cpp ${TAV_SCAN_ROOT}/src/*.h
       ${TAV_SCAN_ROOT}/framework/*.cpp ${TAV_SCAN_ROOT}/framework/*.h)
  foreach(f ${files})
    file(STRINGS ${f} bad REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]*/")
    if(bad)
      message(SEND_ERROR "${f}: ${bad}")
    endif()
  endforeach()
  return()
endif()

add_test(NAME layer_includes_by_name
         COMMAND ${CMAKE_COMMAND} -DTAV_SCAN_ROOT=${CMAKE_SOURCE_DIR} -P ${CMAKE_CURRENT_LIST_FILE})
set(TAV_LAYER_PROBES
  tav_bitmap:IGraphics.h        tav_plug:IGraphics.h           tav_plug:LiceBitmap.h
  tav_plug:IPlugVST.h           tav_graphics:IGraphicsOffscreen.h tav_graphics:Tavrinel.h
  tav_settings:Chord.h          tav_model:IPlugBase.h          tav_model:ConfigurablePool.h
  tav_model:Tavrinel.h          tav_model:TavrinelGui.h        tav_editor:IGraphicsX11_x11.h
  tav_plugin:TavrinelEditor.h   tav_plugin:IGraphics.h
  # The plug-in and its editor are built once for every format: they see no
  # format's wrapper. A wrapper knows the base and its own declarations only.
  tav_plugin:IPlugVST.h         tav_editor:IPlugVST.h          tav_vst2:IGraphics.h
  tav_vst2:Tavrinel.h
  # The VST3 declarations: seen by no layer of the plug-in (the editor is its
  # top), and seeing neither other format's wrapper.
  tav_editor:Vst3Api.h          tav_vst3:IPlugVST.h)
if(TARGET tav_lv2)
  list(APPEND TAV_LAYER_PROBES tav_plugin:IPlugLV2.h tav_editor:IPlugLV2.h
    tav_lv2:IPlugVST.h tav_lv2:IGraphics.h tav_lv2:Tavrinel.h tav_vst2:IPlugLV2.h tav_vst3:IPlugLV2.h)
endif()
foreach(probe ${TAV_LAYER_PROBES})
  string(REPLACE ":" ";" probe "${probe}")
  list(GET probe 0 layer)
  list(GET probe 1 header)
  string(MAKE_C_IDENTIFIER "probe_${layer}_${header}" name)
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/layer-probes/${name}.cpp CONTENT "#include \"${header}\"\n")
  add_library(${name} OBJECT EXCLUDE_FROM_ALL ${CMAKE_BINARY_DIR}/layer-probes/${name}.cpp)
  target_link_libraries(${name} PRIVATE ${layer})
  string(REPLACE "." "\\." header_re "${header}")
  add_test(NAME layer_${name} COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target ${name})
  # Serial: the probe runs the build tool in this build tree.
  set_tests_properties(layer_${name} PROPERTIES RUN_SERIAL TRUE
    PASS_REGULAR_EXPRESSION "${header_re}: No such file or directory|'${header_re}' file not found")
endforeach()
