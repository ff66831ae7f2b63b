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
if(SETUP_WINDOWS)
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

# The host locale of the second run of the end-to-end tests: English, whose
# ANSI code page is 1252. scripts/wine-env.sh gives it a prefix and test
# drives of its own (a wineserver keeps the locale it started with).
set(SETUP_OTHER_LOCALE en_US.UTF-8)
string(REGEX REPLACE "\\..*" "" SETUP_OTHER_LOCALE_NAME ${SETUP_OTHER_LOCALE})

# setup_add_locale_run(NAME)
#   Registers the Windows test NAME a second time, as NAME_<locale name>,
#   run under SETUP_OTHER_LOCALE: the same program in that locale's prefix,
#   with NAME's timeout, fixtures and skip expression, and NAME's resource
#   locks taken for that prefix.
#   The locales the tests run under are listed in wine-locales.txt of the
#   tree, for scripts/run-tests.sh to prepare their prefixes.
function(setup_add_locale_run name)
  if(NOT SETUP_WINDOWS)
    return()
  endif()
  set(run ${name}_${SETUP_OTHER_LOCALE_NAME})
  add_test(NAME ${run} COMMAND ${name})
  get_test_property(${name} TIMEOUT timeout)
  get_test_property(${name} RESOURCE_LOCK locks)
  set_tests_properties(${run} PROPERTIES TIMEOUT ${timeout}
    ENVIRONMENT SETUP_WINE_LOCALE=${SETUP_OTHER_LOCALE})
  foreach(property FIXTURES_REQUIRED SKIP_REGULAR_EXPRESSION)
    get_test_property(${name} ${property} value)
    if(value)
      set_tests_properties(${run} PROPERTIES ${property} "${value}")
    endif()
  endforeach()
  if(locks)
    list(TRANSFORM locks APPEND "-${SETUP_OTHER_LOCALE_NAME}")
    set_tests_properties(${run} PROPERTIES RESOURCE_LOCK "${locks}")
  endif()
  set_property(GLOBAL PROPERTY SETUP_WINE_LOCALES ${SETUP_OTHER_LOCALE})
endfunction()

# setup_fuzz_target(NAME SOURCES ... [LIBS ...] [SEEDS dir ...] [SECONDS n])
#   A libFuzzer target of a host build (clang only). Its corpus starts from
#   the SEEDS folders (written at build time or kept in the tree) and from
#   fuzz_regressions/NAME beside the calling CMakeLists.txt: inputs that once
#   made a target fail. CTest runs each of those once, then fuzzes for
#   SECONDS (default 10). Every target is listed in fuzz-targets.txt of the
#   build tree, which `make fuzz` (scripts/run-fuzz.sh) runs for longer.
function(setup_fuzz_target name)
  cmake_parse_arguments(F "" "SECONDS" "SOURCES;LIBS;SEEDS" ${ARGN})
  if(SETUP_WINDOWS OR NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS} setup_options)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  if(NOT F_SECONDS)
    set(F_SECONDS 10)
  endif()
  set(regressions ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_regressions/${name})
  set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
      ${PROJECT_SOURCE_DIR}/scripts/run-fuzzer.sh $<TARGET_FILE:${name}> ${corpus}
      ${F_SECONDS} ${regressions} ${F_SEEDS})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300 LABELS fuzz)
  # One line per target: name, program, regression folder, seed folders.
  string(JOIN "\t" line ${name} $<TARGET_FILE:${name}> ${regressions} ${F_SEEDS})
  set_property(GLOBAL APPEND_STRING PROPERTY SETUP_FUZZ_TARGETS "${line}\n")
endfunction()

# Writes fuzz-targets.txt once every setup_fuzz_target has run, and
# wine-locales.txt (one locale a line) once every setup_add_locale_run has.
function(setup_write_test_lists)
  get_property(lines GLOBAL PROPERTY SETUP_FUZZ_TARGETS)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/fuzz-targets.txt CONTENT "${lines}")
  get_property(locales GLOBAL PROPERTY SETUP_WINE_LOCALES)
  list(JOIN locales "\n" lines)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/wine-locales.txt CONTENT "${lines}\n")
endfunction()
