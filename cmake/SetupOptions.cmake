# Compiler settings shared by every target of a build.

option(SETUP_SANITIZE "Host build: AddressSanitizer and UndefinedBehaviorSanitizer" ON)

# Where tools/fuzz_seeds/make_fuzz_seeds writes the seed corpora of the fuzz targets.
set(SETUP_FUZZ_SEEDS ${CMAKE_BINARY_DIR}/fuzz-seeds)

add_library(setup_options INTERFACE)
target_include_directories(setup_options INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_options(setup_options INTERFACE -Wall -Wextra -Wno-unused-parameter)

if(SETUP_WINDOWS)
  # Sources are UTF-8; narrow literals become Shift-JIS, as the program's
  # texts must be on a Japanese system.
  target_compile_options(setup_options INTERFACE
    -finput-charset=UTF-8 -fexec-charset=CP932
    -Wno-cast-function-type -msse2 -mfpmath=sse)
  # The API of Windows Vista, the programs' floor (docs/players.md).
  target_compile_definitions(setup_options INTERFACE
    WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0600 WINVER=0x0600
    _CRT_SECURE_NO_WARNINGS)
  # A program on a disc cannot count on a compiler runtime DLL.
  target_link_options(setup_options INTERFACE
    -static -static-libgcc -static-libstdc++)
else()
  # 64-bit file offsets in every host build, the 32-bit one too: the
  # publisher's release files pass 4 GiB.
  target_compile_definitions(setup_options INTERFACE _FILE_OFFSET_BITS=64)
endif()
if(NOT SETUP_WINDOWS AND SETUP_SANITIZE)
  target_compile_options(setup_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)
  target_link_options(setup_options INTERFACE -fsanitize=address,undefined)
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    # Coverage instrumentation in every library too, not only in the fuzz
    # targets' own sources: libFuzzer is guided by the edges of the code it
    # fuzzes, which lives in the libraries the targets link.
    target_compile_options(setup_options INTERFACE -fsanitize=fuzzer-no-link)
  endif()
endif()

# setup_library(NAME [PURE src...] [WIN32 src...] [PURE_DEPS lib...] [DEPS lib...])
#   NAME_pure: the sources that need no Win32, built by both builds.
#   NAME:      (win32 build only) the Win32 sources, linked with NAME_pure.
#   A Win32 source lives in a win32/ folder and a pure one outside it, so
#   that a file's path says which builds it is in.
function(setup_library name)
  cmake_parse_arguments(L "" "" "PURE;WIN32;PURE_DEPS;DEPS" ${ARGN})
  foreach(src ${L_PURE})
    if(src MATCHES "(^|/)win32/")
      message(FATAL_ERROR "${name}: ${src} is listed as pure but lies in a win32/ folder")
    endif()
  endforeach()
  foreach(src ${L_WIN32})
    if(NOT src MATCHES "(^|/)win32/")
      message(FATAL_ERROR "${name}: the Win32 source ${src} belongs in a win32/ folder")
    endif()
  endforeach()
  if(L_PURE)
    add_library(${name}_pure STATIC ${L_PURE})
    target_link_libraries(${name}_pure PUBLIC setup_options ${L_PURE_DEPS})
  else()
    add_library(${name}_pure INTERFACE)
    target_link_libraries(${name}_pure INTERFACE setup_options ${L_PURE_DEPS})
  endif()
  if(SETUP_WINDOWS)
    if(L_WIN32)
      add_library(${name} STATIC ${L_WIN32})
      target_link_libraries(${name} PUBLIC ${name}_pure ${L_DEPS})
    else()
      add_library(${name} INTERFACE)
      target_link_libraries(${name} INTERFACE ${name}_pure ${L_DEPS})
    endif()
  endif()
endfunction()
