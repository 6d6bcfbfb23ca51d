# The editor's images. resources/Tavrinel.rc lists them with their ids; it is
# the only list.
# - Windows: the script is compiled into the plug-in DLL (TAV_PLUGIN_EXTRA_SOURCES)
#   and read back with FindResource. The test programs link the plug-in's code
#   statically, so the same script is compiled into each of them as well: they
#   find the images through the very same lookup, in their own module.
# - Elsewhere: a source generated at build time holds the images as byte arrays
#   and is part of the bitmap layer, so the plug-in, the tests and the tools all
#   carry them. It is built here, where its rule is, and handed to tav_bitmap.
set(TAV_RESOURCE_SCRIPT ${CMAKE_SOURCE_DIR}/resources/Tavrinel.rc)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TAV_RESOURCE_SCRIPT})
file(STRINGS ${TAV_RESOURCE_SCRIPT} _tav_rc_lines REGEX "^[0-9]+[ \t]+PNG[ \t]+\"")
set(TAV_RESOURCE_FILES)
foreach(_tav_line IN LISTS _tav_rc_lines)
  string(REGEX REPLACE "^[0-9]+[ \t]+PNG[ \t]+\"([^\"]+)\".*" "\\1" _tav_file "${_tav_line}")
  list(APPEND TAV_RESOURCE_FILES ${CMAKE_SOURCE_DIR}/resources/${_tav_file})
endforeach()

if(WIN32)
  enable_language(RC)
  set(TAV_PLUGIN_EXTRA_SOURCES ${TAV_RESOURCE_SCRIPT})
  set_source_files_properties(${TAV_RESOURCE_SCRIPT} PROPERTIES
    INCLUDE_DIRECTORIES ${CMAKE_SOURCE_DIR}/resources
    OBJECT_DEPENDS "${TAV_RESOURCE_FILES}")
  # Runs once every target of this directory exists.
  function(tav_add_resources_to_tests)
    get_property(_targets DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(_t IN LISTS _targets)
      if(_t MATCHES "^test_")
        target_sources(${_t} PRIVATE ${TAV_RESOURCE_SCRIPT})
      endif()
    endforeach()
  endfunction()
  cmake_language(DEFER CALL tav_add_resources_to_tests)
else()
  set(_tav_embedded ${CMAKE_BINARY_DIR}/generated/TavrinelResources.cpp)
  add_custom_command(OUTPUT ${_tav_embedded}
    COMMAND ${CMAKE_COMMAND} -DRC=${TAV_RESOURCE_SCRIPT} -DOUT=${_tav_embedded}
            -P ${CMAKE_SOURCE_DIR}/cmake/EmbedResources.cmake
    DEPENDS ${TAV_RESOURCE_SCRIPT} ${TAV_RESOURCE_FILES} ${CMAKE_SOURCE_DIR}/cmake/EmbedResources.cmake
    COMMENT "Embedding the editor images"
    VERBATIM)
  add_library(tav_resources OBJECT ${_tav_embedded})
  target_include_directories(tav_resources PRIVATE ${CMAKE_SOURCE_DIR}/framework/bitmap)
  target_link_libraries(tav_bitmap PRIVATE tav_resources)
endif()
