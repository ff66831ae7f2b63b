# The programs that go on the disc, and what every one of them carries.
#
# setup_shipped_program(TARGET DESCRIPTION text)
#   Embeds the shared manifest (cmake/shipped_program.manifest) and a version
#   resource: company, product, the given file description and the product
#   version below. Lists the program in <build>/shipped-programs.txt (one
#   path a line, relative to the build tree), which `make sign`,
#   scripts/check-pe.sh and the resource test read, and makes it part of the
#   `shipped` target (what `make build-win32` builds). The program's debug
#   information moves to PROGRAM.exe.debug beside it (linked by
#   .gnu_debuglink): Wine reads the sections of an image, debug ones among
#   them, when it loads it, and from the disc each megabyte costs the start a
#   twentieth of a second at DVD speed.

# The version of every shipped program: this line is the only place it is set.
set(SETUP_VERSION 1.0.0.0)
set(SETUP_COMPANY_NAME "Vintal")
set(SETUP_PRODUCT_NAME "Sorvane～Kelmire～")

set(SETUP_VERSION_TEXT ${SETUP_VERSION})
string(REPLACE "." "," SETUP_VERSION_COMMAS ${SETUP_VERSION})
set(SETUP_SHIPPED_LIST ${CMAKE_BINARY_DIR}/shipped-programs.txt)
set_property(GLOBAL PROPERTY SETUP_SHIPPED_PROGRAMS "")
add_custom_target(shipped)

function(setup_shipped_program target)
  cmake_parse_arguments(SP "" "DESCRIPTION" "" ${ARGN})
  if(NOT SP_DESCRIPTION)
    message(FATAL_ERROR "setup_shipped_program(${target}): DESCRIPTION is required")
  endif()
  get_target_property(SP_NAME ${target} OUTPUT_NAME)
  if(NOT SP_NAME)
    set(SP_NAME ${target})
  endif()
  set(SP_FILE ${SP_NAME}.exe)
  set(SP_MANIFEST ${PROJECT_SOURCE_DIR}/cmake/shipped_program.manifest)
  set(SP_VERSION_COMMAS ${SETUP_VERSION_COMMAS})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_shipped.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/shipped_program.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${SP_MANIFEST})
  target_sources(${target} PRIVATE ${rc})

  if(CMAKE_OBJCOPY)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>.debug
      COMMAND ${CMAKE_OBJCOPY} --strip-debug --add-gnu-debuglink=$<TARGET_FILE:${target}>.debug
              $<TARGET_FILE:${target}>
      VERBATIM)
  endif()

  add_dependencies(shipped ${target})
  set_property(GLOBAL APPEND PROPERTY SETUP_SHIPPED_PROGRAMS "$<PATH:RELATIVE_PATH,$<TARGET_FILE:${target}>,${CMAKE_BINARY_DIR}>")
endfunction()

# Written once every directory has added its programs.
function(setup_write_shipped_list)
  get_property(programs GLOBAL PROPERTY SETUP_SHIPPED_PROGRAMS)
  list(JOIN programs "\n" lines)
  file(GENERATE OUTPUT ${SETUP_SHIPPED_LIST} CONTENT "${lines}\n")
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL setup_write_shipped_list)
