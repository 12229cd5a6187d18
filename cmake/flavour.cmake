# The files of the other system are left out: one file per service and system
# (os_threads_posix.cpp, os_threads_win32.cpp, ...), and the tests of what
# only one system has (os_threads_posix_test.cpp, ...).
function(grabline_this_system out)
  set(files ${ARGN})
  if(WIN32)
    list(FILTER files EXCLUDE REGEX "_posix(_test)?\\.cpp$")
  else()
    list(FILTER files EXCLUDE REGEX "_win32(_test)?\\.cpp$")
  endif()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# Windows finds a DLL by its plain name; the import libraries keep the prefix.
function(grabline_dll target)
  if(WIN32)
    set_target_properties(${target} PROPERTIES PREFIX "")
  endif()
endfunction()

# grabline_flavour(<flavour> PLUGIN <name> HOST <name> SDK <name>)
#
# Builds one flavour: the host library, the simulated SDK of its version, the
# plug-in against both, and the flavour's test executable. The flavour is
# passed to each part as one compile definition; everything else that differs
# lives in the parts' own tables.
function(grabline_flavour flavour)
  cmake_parse_arguments(F "" "PLUGIN;HOST;SDK" "" ${ARGN})
  string(TOUPPER ${flavour} FLAVOUR)

  if(flavour STREQUAL "standard")
    set(host_def "")
  else()
    set(host_def TARVEL_BUILD_${FLAVOUR})
  endif()

  # ---- host library ----------------------------------------------------------
  file(GLOB_RECURSE host_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/sim/host/*.cpp)
  grabline_this_system(host_sources ${host_sources})
  # Without libpng the host writes no images and says so.
  if(PNG_FOUND)
    list(FILTER host_sources EXCLUDE REGEX "/host_png_unavailable\\.cpp$")
  else()
    list(FILTER host_sources EXCLUDE REGEX "/host_png\\.cpp$")
  endif()
  add_library(${F_HOST} SHARED ${host_sources})
  grabline_dll(${F_HOST})
  target_include_directories(${F_HOST} PUBLIC ${CMAKE_SOURCE_DIR}/sim/host/include)
  target_compile_definitions(${F_HOST} PUBLIC ${host_def})
  target_link_libraries(${F_HOST} PRIVATE Threads::Threads ${CMAKE_DL_LIBS})
  if(PNG_FOUND)
    target_link_libraries(${F_HOST} PRIVATE PNG::PNG)
  endif()

  # ---- simulated SDK ------------------------------------------------------------
  file(GLOB_RECURSE sdk_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/sim/sdk/*.cpp)
  grabline_this_system(sdk_sources ${sdk_sources})
  add_library(${F_SDK} SHARED ${sdk_sources})
  grabline_dll(${F_SDK})
  target_include_directories(${F_SDK} PUBLIC ${CMAKE_SOURCE_DIR}/sim/sdk/include
                             PRIVATE ${CMAKE_SOURCE_DIR}/sim/sdk)
  target_compile_definitions(${F_SDK} PRIVATE BFSIM_VERSION_${FLAVOUR})
  target_link_libraries(${F_SDK} PRIVATE Threads::Threads)
  if(WIN32)
    target_link_libraries(${F_SDK} PRIVATE winmm)  # the clock's timer period
  endif()

  # ---- plug-in ---------------------------------------------------------------------
  file(GLOB_RECURSE plugin_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*.cpp)
  grabline_this_system(plugin_sources ${plugin_sources})
  set(core grabline_core_${flavour})
  add_library(${core} OBJECT ${plugin_sources})
  target_include_directories(${core} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_compile_definitions(${core} PUBLIC GRABLINE_BUILD_${FLAVOUR})
  target_link_libraries(${core} PUBLIC ${F_HOST} ${F_SDK} Threads::Threads)
  if(NOT WIN32)
    target_link_libraries(${core} PUBLIC rt)
  endif()

  # The plug-in shows the host FGInit and nothing else.
  add_library(${F_PLUGIN} SHARED $<TARGET_OBJECTS:${core}>)
  grabline_dll(${F_PLUGIN})
  target_link_libraries(${F_PLUGIN} PRIVATE ${core})
  if(WIN32)
    set(exports ${CMAKE_SOURCE_DIR}/src/plugin/exports.def)
    target_link_options(${F_PLUGIN} PRIVATE ${exports})
  else()
    set(exports ${CMAKE_SOURCE_DIR}/src/plugin/exports.map)
    target_link_options(${F_PLUGIN} PRIVATE -Wl,--version-script=${exports} -Wl,-Bsymbolic)
  endif()
  # clang links the sanitizer runtimes into executables only: a shared library
  # then leaves their symbols to the executable that loads it.
  if(NOT GRABLINE_FUZZ)
    target_link_options(${F_PLUGIN} PRIVATE -Wl,--no-undefined)
  endif()
  set_target_properties(${F_PLUGIN} PROPERTIES LINK_DEPENDS ${exports})

  # ---- tests -------------------------------------------------------------------------
  if(GRABLINE_TESTS)
    file(GLOB_RECURSE test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*.cpp)
    # The soak run is a program of its own, not a test suite.
    list(FILTER test_sources EXCLUDE REGEX "/tests/soak/")
    grabline_this_system(test_sources ${test_sources})
    if(WIN32)
      # The tool is not part of the Windows build (see the top level).
      list(FILTER test_sources EXCLUDE REGEX "/tool_[a-z_]*test\\.cpp$")
    endif()
    if(NOT PNG_FOUND)
      list(FILTER test_sources EXCLUDE REGEX "/host_png_test\\.cpp$")
    endif()
    set(tests tests_${flavour})
    add_executable(${tests} ${test_sources})
    target_include_directories(${tests} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_link_libraries(${tests} PRIVATE ${core} GTest::gtest GTest::gmock GTest::gtest_main)
    if(WIN32)
      target_link_libraries(${tests} PRIVATE psapi)
    endif()
    if(PNG_FOUND)
      target_link_libraries(${tests} PRIVATE PNG::PNG)
    endif()
    target_compile_definitions(${tests} PRIVATE
      GRABLINE_PLUGIN_NAME="${F_PLUGIN}" GRABLINE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    add_dependencies(${tests} ${F_PLUGIN})
    if(CMAKE_CROSSCOMPILING)
      # Each start under the emulator costs a second: one run per executable.
      add_test(NAME ${flavour}.all COMMAND ${tests})
      set_tests_properties(${flavour}.all PROPERTIES LABELS ${flavour} TIMEOUT 1800)
    else()
      gtest_discover_tests(${tests}
        TEST_PREFIX "${flavour}."
        PROPERTIES LABELS ${flavour}
                   ENVIRONMENT "TARVEL_PLUGIN_PATH=${CMAKE_LIBRARY_OUTPUT_DIRECTORY}"
        DISCOVERY_TIMEOUT 60)
    endif()

    # The soak run: open-grab-close cycles for as long as asked; a short run
    # is part of the tests.
    set(soak grabline_soak_${flavour})
    file(GLOB test_os_sources ${CMAKE_SOURCE_DIR}/tests/support/test_os*.cpp)
    grabline_this_system(test_os_sources ${test_os_sources})
    add_executable(${soak} ${CMAKE_SOURCE_DIR}/tests/soak/soak_main.cpp ${test_os_sources})
    target_include_directories(${soak} PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${soak} PRIVATE ${F_HOST} ${F_SDK} Threads::Threads)
    if(WIN32)
      target_link_libraries(${soak} PRIVATE psapi)
    endif()
    target_compile_definitions(${soak} PRIVATE GRABLINE_PLUGIN_NAME="${F_PLUGIN}"
                               GRABLINE_BUILD_${FLAVOUR})
    add_dependencies(${soak} ${F_PLUGIN})
    add_test(NAME ${flavour}.SoakShort COMMAND ${soak} --seconds 7)
    set_tests_properties(${flavour}.SoakShort PROPERTIES LABELS ${flavour} TIMEOUT 120)
    # Windows finds the plug-ins beside the host, in the same directory as the
    # executables; elsewhere they lie in the library directory.
    if(NOT WIN32)
      set_tests_properties(${flavour}.SoakShort PROPERTIES
        ENVIRONMENT "TARVEL_PLUGIN_PATH=${CMAKE_LIBRARY_OUTPUT_DIRECTORY}")
    endif()
  endif()
endfunction()
