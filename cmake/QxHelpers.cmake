# Each subsystem folder (platform, runtime, script, ...) is split into areas, one
# subfolder each, and each area is its own static library so that areas build and test
# independently. qx_area_library(<subsystem>_<area> LINKS ...) globs the calling folder;
# qx_subsystem(<target>) adds every area folder and makes <target> the union of them.

function(qx_area_library target)
  cmake_parse_arguments(ARG "" "" "LINKS;SYSTEM_INCLUDES" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  add_library(${target} STATIC ${srcs})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  if(ARG_SYSTEM_INCLUDES)
    target_include_directories(${target} SYSTEM PUBLIC ${ARG_SYSTEM_INCLUDES})
  endif()
  target_link_libraries(${target} PUBLIC ${ARG_LINKS})
  set_property(GLOBAL APPEND PROPERTY QX_AREAS_${QX_CURRENT_SUBSYSTEM} ${target})
endfunction()

# qx_add_subfolders([EXCEPT name ...]): adds every subfolder of the calling folder that
# has a CMakeLists.txt.
macro(qx_add_subfolders)
  cmake_parse_arguments(_QXSUB "" "" "EXCEPT" ${ARGN})
  file(GLOB _qx_dirs LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(_qx_d IN LISTS _qx_dirs)
    get_filename_component(_qx_name ${_qx_d} NAME)
    if(IS_DIRECTORY ${_qx_d} AND EXISTS ${_qx_d}/CMakeLists.txt AND NOT _qx_name IN_LIST _QXSUB_EXCEPT)
      add_subdirectory(${_qx_d})
    endif()
  endforeach()
endmacro()

function(qx_subsystem target)
  cmake_parse_arguments(ARG "" "" "LINKS" ${ARGN})
  set(QX_CURRENT_SUBSYSTEM ${target})
  qx_add_subfolders()
  add_library(${target} INTERFACE)
  target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
  get_property(areas GLOBAL PROPERTY QX_AREAS_${target})
  target_link_libraries(${target} INTERFACE ${areas} ${ARG_LINKS})
endfunction()

# qx_gtest(<name> SOURCES ... LINKS ... [LABELS ...] [ENV VAR=value ...] [GL] [X11]): one
# GoogleTest executable whose cases are registered one by one with CTest. LABELS apply to
# every test of the calling folder; ENV is set by the executable itself before its tests
# run; GL marks executables that render through Mesa (no leak check at exit); X11 runs
# all its cases as one test against an X server of its own (tests/support/with_xvfb.sh).
function(qx_gtest name)
  cmake_parse_arguments(ARG "GL;X11" "" "SOURCES;LINKS;LABELS;ENV" ${ARGN})
  set(support ${PROJECT_SOURCE_DIR}/tests/support/test_env.cpp)
  if(ARG_GL)
    list(APPEND support ${PROJECT_SOURCE_DIR}/tests/support/no_leak_check.cpp)
  endif()
  add_executable(${name} ${ARG_SOURCES} ${support})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} GTest::gtest GTest::gtest_main GTest::gmock)
  string(REPLACE ";" "|" env "${ARG_ENV}")
  target_compile_definitions(${name} PRIVATE
    QX_SOURCE_DIR="${PROJECT_SOURCE_DIR}" QX_BINARY_DIR="${PROJECT_BINARY_DIR}" QX_TEST_ENV="${env}")
  if(ARG_LABELS)
    # gtest_discover_tests flattens list-valued properties, so labels go on the folder.
    set_property(DIRECTORY APPEND PROPERTY LABELS ${ARG_LABELS})
  endif()
  if(ARG_X11)
    add_test(NAME ${name} COMMAND sh ${PROJECT_SOURCE_DIR}/tests/support/with_xvfb.sh $<TARGET_FILE:${name}>
      WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    set_tests_properties(${name} PROPERTIES TIMEOUT 120)
    return()
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 60)
endfunction()

# qx_fuzz(<name> SOURCES ... LINKS ...): a libFuzzer target (fuzz builds only), named
# fuzz_<name>, with its seed corpus in tests/fuzz/corpus/<name>.
function(qx_fuzz name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(fuzz_${name} ${ARG_SOURCES})
  target_link_libraries(fuzz_${name} PRIVATE ${ARG_LINKS})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  add_dependencies(fuzz_all fuzz_${name})
endfunction()

# qx_benchmark(<name> SOURCES ... LINKS ...): a Google Benchmark executable (built, not run by the tests).
function(qx_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} benchmark::benchmark benchmark::benchmark_main)
  target_compile_definitions(${name} PRIVATE QX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endfunction()

# qx_qxlua(<name> [SOURCES ext.cpp ...] [LINKS ...]): a qxlua runner, booting the engine as
# the program does, with the extensions (see tools/qxlua/extension.h) of SOURCES.
function(qx_qxlua name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  set(dir ${PROJECT_SOURCE_DIR}/tools/qxlua)
  add_executable(${name} ${dir}/main.cpp ${dir}/test_api.cpp ${dir}/extension.cpp ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} qx_program_main)
endfunction()
