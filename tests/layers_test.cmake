cmake_minimum_required(VERSION 3.25)
# The layers point down: each folder's sources include only their own folder and the layers below
# it (platform at the bottom, the library's thread and C interface and the two programs at the
# top), so no lower layer depends on a higher.
# Usage: cmake -DSOURCE_DIR=<tree> -P layers_test.cmake
set(platform_may platform)
# The fault record is a plain type of the public interface that the WMI service fills in; it
# depends on nothing, so including it from below points nowhere up.
set(vocabulary "#include \"hwid/fault.h\"")
set(Wmioperationsunit_may ${platform_may} Wmioperationsunit)
set(identifier_may ${Wmioperationsunit_may} identifier hwid)
set(include_may hwid)
set(library_may ${identifier_may} library)
set(app_may ${identifier_may} app)
set(inspect_may ${app_may} inspect)
set(failures "")
set(count 0)
foreach(layer platform Wmioperationsunit identifier include library app inspect)
  file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${layer}/*.h
       ${SOURCE_DIR}/${layer}/*.cpp ${SOURCE_DIR}/${layer}/*.in)
  foreach(source IN LISTS sources)
    math(EXPR count "${count} + 1")
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^#include \"[^/\"]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([^/\"]+)/.*" "\\1" folder "${line}")
      if(NOT folder IN_LIST ${layer}_may AND NOT (line STREQUAL vocabulary AND
                                                  NOT layer STREQUAL "platform"))
        string(APPEND failures "\n  ${source}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "includes that point up a layer:${failures}")
endif()
message(STATUS "${count} sources: every include points to the same layer or below")
