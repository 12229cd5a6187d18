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
  add_library(${F_HOST} SHARED ${host_sources})
  target_include_directories(${F_HOST} PUBLIC ${CMAKE_SOURCE_DIR}/sim/host/include)
  target_compile_definitions(${F_HOST} PUBLIC ${host_def})
  target_link_libraries(${F_HOST} PRIVATE PNG::PNG Threads::Threads ${CMAKE_DL_LIBS})

  # ---- simulated SDK ------------------------------------------------------------
  file(GLOB_RECURSE sdk_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/sim/sdk/*.cpp)
  add_library(${F_SDK} SHARED ${sdk_sources})
  target_include_directories(${F_SDK} PUBLIC ${CMAKE_SOURCE_DIR}/sim/sdk/include
                             PRIVATE ${CMAKE_SOURCE_DIR}/sim/sdk)
  target_compile_definitions(${F_SDK} PRIVATE BFSIM_VERSION_${FLAVOUR})
  target_link_libraries(${F_SDK} PRIVATE Threads::Threads)

  # ---- plug-in ---------------------------------------------------------------------
  file(GLOB_RECURSE plugin_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*.cpp)
  # The OS layer: one file per service and system, the other system's left out.
  if(WIN32)
    list(FILTER plugin_sources EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER plugin_sources EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  set(core grabline_core_${flavour})
  add_library(${core} OBJECT ${plugin_sources})
  target_include_directories(${core} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_compile_definitions(${core} PUBLIC GRABLINE_BUILD_${FLAVOUR})
  target_link_libraries(${core} PUBLIC ${F_HOST} ${F_SDK} Threads::Threads rt)

  add_library(${F_PLUGIN} SHARED $<TARGET_OBJECTS:${core}>)
  target_link_libraries(${F_PLUGIN} PRIVATE ${core})
  target_link_options(${F_PLUGIN} PRIVATE
    -Wl,--version-script=${CMAKE_SOURCE_DIR}/src/plugin/exports.map -Wl,-Bsymbolic)
  # clang links the sanitizer runtimes into executables only: a shared library
  # then leaves their symbols to the executable that loads it.
  if(NOT GRABLINE_FUZZ)
    target_link_options(${F_PLUGIN} PRIVATE -Wl,--no-undefined)
  endif()
  set_target_properties(${F_PLUGIN} PROPERTIES LINK_DEPENDS
                        ${CMAKE_SOURCE_DIR}/src/plugin/exports.map)

  # ---- tests -------------------------------------------------------------------------
  if(GRABLINE_TESTS)
    file(GLOB_RECURSE test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*.cpp)
    # The soak run is a program of its own, not a test suite.
    list(FILTER test_sources EXCLUDE REGEX "/tests/soak/")
    set(tests tests_${flavour})
    add_executable(${tests} ${test_sources})
    target_include_directories(${tests} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_link_libraries(${tests} PRIVATE ${core} GTest::gtest GTest::gmock GTest::gtest_main
                          PNG::PNG)
    target_compile_definitions(${tests} PRIVATE
      GRABLINE_PLUGIN_NAME="${F_PLUGIN}" GRABLINE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    add_dependencies(${tests} ${F_PLUGIN})
    gtest_discover_tests(${tests}
      TEST_PREFIX "${flavour}."
      PROPERTIES LABELS ${flavour}
                 ENVIRONMENT "TARVEL_PLUGIN_PATH=${CMAKE_LIBRARY_OUTPUT_DIRECTORY}"
      DISCOVERY_TIMEOUT 60)

    # The soak run: open-grab-close cycles for as long as asked; a short run
    # is part of the tests.
    set(soak grabline_soak_${flavour})
    add_executable(${soak} ${CMAKE_SOURCE_DIR}/tests/soak/soak_main.cpp)
    target_include_directories(${soak} PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${soak} PRIVATE ${F_HOST} ${F_SDK} Threads::Threads)
    target_compile_definitions(${soak} PRIVATE GRABLINE_PLUGIN_NAME="${F_PLUGIN}"
                               GRABLINE_BUILD_${FLAVOUR})
    add_dependencies(${soak} ${F_PLUGIN})
    add_test(NAME ${flavour}.SoakShort COMMAND ${soak} --seconds 7)
    set_tests_properties(${flavour}.SoakShort PROPERTIES LABELS ${flavour} TIMEOUT 120
      ENVIRONMENT "TARVEL_PLUGIN_PATH=${CMAKE_LIBRARY_OUTPUT_DIRECTORY}")
  endif()
endfunction()
