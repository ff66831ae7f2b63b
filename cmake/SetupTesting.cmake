# Test helpers shared by every folder under tests/.
#
# setup_add_test(NAME SOURCES ... [LIBS ...] [DRIVES] [TIMEOUT s])
#   One GoogleTest program, registered as one CTest test. In the win32 build
#   CTest starts it through the Wine wrapper (the toolchain's emulator), under
#   the one Xvfb display that `make test` provides. DRIVES marks a program
#   that maps folders as drives of the shared test prefix: such programs never
#   run at the same time.

enable_testing()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
if(EXISTS /usr/src/googletest/CMakeLists.txt)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  message(FATAL_ERROR "GoogleTest sources not found: run 'make deps'")
endif()
if(SETUP_WIN32)
  target_link_options(gtest PUBLIC -static -static-libgcc -static-libstdc++)
elseif(SETUP_SANITIZE)
  target_compile_options(gtest PRIVATE -fsanitize=address,undefined)
endif()

function(setup_add_test name)
  cmake_parse_arguments(T "DRIVES" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} setup_test_support gtest setup_options)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_DRIVES)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wine-drives)
  endif()
endfunction()

# setup_add_fuzzer(NAME SOURCES ... [LIBS ...] [CORPUS dir] [SECONDS n])
#   A libFuzzer target of the host build (clang only). CTest runs it briefly
#   over its seed corpus; `make fuzz` runs it longer.
function(setup_add_fuzzer name)
  cmake_parse_arguments(F "" "SECONDS;CORPUS" "SOURCES;LIBS" ${ARGN})
  if(SETUP_WIN32 OR NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS} setup_options)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  if(NOT F_SECONDS)
    set(F_SECONDS 8)
  endif()
  set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
      ${PROJECT_SOURCE_DIR}/scripts/run-fuzzer.sh $<TARGET_FILE:${name}> ${corpus}
      ${F_SECONDS} ${F_CORPUS})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300 LABELS fuzz)
  set_property(GLOBAL APPEND PROPERTY SETUP_FUZZERS ${name})
endfunction()
