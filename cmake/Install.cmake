# Installs the factory presets and the configuration file beside the plug-in's
# library: <plug-in folder>/Tavrinel Presets/... and <plug-in folder>/Tavrinel.ini,
# whose "PresetFolder" names the installed presets. Include it from the top-level
# CMakeLists.txt after project(); it also serves as its own install script.
#
# TAV_INSTALL_PRESET_FOLDER: the folder written into the installed Tavrinel.ini,
# for packages whose files end up elsewhere than CMAKE_INSTALL_PREFIX (a Windows
# installer built on Linux, for example). Empty: the installed presets folder.

if(DEFINED TAV_INSTALL_INI_SOURCE)
  # ---- install time: write Tavrinel.ini with the presets folder ----
  # Folders given relative lie under the prefix.
  foreach(_var TAV_INSTALL_INI_DIR TAV_INSTALL_INI_PRESETS_DIR)
    if(NOT IS_ABSOLUTE "${${_var}}")
      set(${_var} "${CMAKE_INSTALL_PREFIX}/${${_var}}")
    endif()
  endforeach()
  set(_folder "${TAV_INSTALL_INI_FOLDER}")
  if(_folder STREQUAL "")
    set(_folder "${TAV_INSTALL_INI_PRESETS_DIR}/Tavrinel Presets")
  endif()
  file(READ "${TAV_INSTALL_INI_SOURCE}" _ini)
  set(_line "PresetFolder \"${_folder}\"")
  string(LENGTH "${_line}" _len)
  if(_len GREATER 128)
    message(WARNING "Tavrinel.ini: the plug-in reads 128 characters of a line; '${_line}' is longer")
  endif()
  string(REGEX REPLACE "\nPresetFolder [^\n]*" "\n${_line}" _ini "${_ini}")
  set(_ini_file "$ENV{DESTDIR}${TAV_INSTALL_INI_DIR}/Tavrinel.ini")
  message(STATUS "Installing: ${_ini_file}")
  file(WRITE "${_ini_file}" "${_ini}")
  unset(TAV_INSTALL_INI_SOURCE)
  return()
endif()

# ---- configure time: the install rules ----
include(GNUInstallDirs)
if(WIN32)
  set(TAV_PLUGIN_INSTALL_DIR vst)
else()
  set(TAV_PLUGIN_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/lxvst)
endif()
set(TAV_INSTALL_PRESET_FOLDER "" CACHE STRING "Preset folder written into the installed Tavrinel.ini (empty: the installed one)")

# An installed plug-in carries no debug information, whatever the build type
# (the build tree's copy keeps it, for the tests and the debugger): the install
# strips, as "cmake --install --strip" would. This rule runs before the
# plug-in's own, which reads the flag.
option(TAV_INSTALL_STRIP "Strip the plug-in when installing it" ON)
if(TAV_INSTALL_STRIP)
  install(CODE "set(CMAKE_INSTALL_DO_STRIP TRUE)")
endif()

install(DIRECTORY "${CMAKE_SOURCE_DIR}/resources/presets/"
        DESTINATION "${TAV_PLUGIN_INSTALL_DIR}/Tavrinel Presets"
        COMPONENT presets
        FILES_MATCHING PATTERN "*.preset")

# Installs a Tavrinel.ini into the folder DIR whose PresetFolder names the
# factory presets installed beside the VST library. A relative DIR lies under
# the prefix.
function(tav_install_ini dir)
  install(CODE "set(TAV_INSTALL_INI_SOURCE \"${CMAKE_SOURCE_DIR}/resources/Tavrinel.ini\")
set(TAV_INSTALL_INI_DIR \"${dir}\")
set(TAV_INSTALL_INI_PRESETS_DIR \"${TAV_PLUGIN_INSTALL_DIR}\")
set(TAV_INSTALL_INI_FOLDER \"${TAV_INSTALL_PRESET_FOLDER}\")"
          COMPONENT presets)
  install(SCRIPT "${CMAKE_CURRENT_FUNCTION_LIST_FILE}" COMPONENT presets)
endfunction()
tav_install_ini("${TAV_PLUGIN_INSTALL_DIR}")
