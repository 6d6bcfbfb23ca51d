# One test program per tests/test_*.cpp, all sharing tests/support.
if(CMAKE_CROSSCOMPILING)
  # No packaged GoogleTest for mingw: build Debian's own GoogleTest sources.
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()
file(GLOB TAV_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
tav_platform_filter(TAV_TEST_SUPPORT ${TAV_TEST_SUPPORT})
add_library(tavrinel_test_support STATIC ${TAV_TEST_SUPPORT})
target_include_directories(tavrinel_test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests/support)
target_link_libraries(tavrinel_test_support PUBLIC tavrinel_core GTest::gtest)

file(GLOB TAV_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/test_*.cpp)
tav_platform_filter(TAV_TEST_SOURCES ${TAV_TEST_SOURCES})
foreach(src ${TAV_TEST_SOURCES})
  get_filename_component(name "${src}" NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE tavrinel_test_support GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE TAV_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  if(TARGET Tavrinel)
    add_dependencies(${name} Tavrinel)
    target_compile_definitions(${name} PRIVATE TAV_PLUGIN_PATH="$<TARGET_FILE:Tavrinel>")
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
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

# An install strips the plug-in; the build tree's copy keeps its debug information.
if(TARGET Tavrinel AND CMAKE_OBJDUMP)
  add_test(NAME install_strips_the_plugin
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DBUILD_TYPE=${CMAKE_BUILD_TYPE}
                   -DPLUGIN=$<TARGET_FILE:Tavrinel> -DOBJDUMP=${CMAKE_OBJDUMP}
                   -P ${CMAKE_SOURCE_DIR}/cmake/CheckInstall.cmake)
  set_tests_properties(install_strips_the_plugin PROPERTIES TIMEOUT 120)
endif()
