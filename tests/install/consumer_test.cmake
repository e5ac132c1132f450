# Installs the build into a fresh prefix, builds tests/consumer against it with
# find_package(hwid CONFIG), and runs the program: it prints what hwid prints for this machine,
# accepts this machine, and refuses another. README shows the program: it must be this very file.
# Usage: cmake -DBUILD_DIR=<hwid build> -DCONSUMER_DIR=<tests/consumer> -DWORK_DIR=<scratch>
#        -DHWID=<hwid> -DCXX_COMPILER=<compiler> -DGENERATOR=<generator> -DREADME=<readme>
#        [-DCXX_FLAGS=<flags>] [-DLINKER_FLAGS=<flags>] [-DTOOLCHAIN_FILE=<file>]
#        [-DEMULATOR=<runner>] [-DEXECUTABLE_SUFFIX=<.exe>] [-DMSVC_RUNTIME=<runtime>]
#        -P consumer_test.cmake
# The consumer is compiled and linked with the build's own flags: a library built with sanitizers
# needs their runtime in every program that links it.

cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nfailed (${status}):\n${out}")
  endif()
endfunction()

file(READ ${CONSUMER_DIR}/main.cpp example)
file(READ ${README} readme)
string(FIND "${readme}" "```cpp\n${example}```\n" found)
if(found EQUAL -1)
  message(FATAL_ERROR "${README} does not show ${CONSUMER_DIR}/main.cpp as it is")
endif()

file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix)
set(platform_options)
if(TOOLCHAIN_FILE)
  set(platform_options -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE})
endif()
if(MSVC_RUNTIME)
  list(APPEND platform_options -DCMAKE_MSVC_RUNTIME_LIBRARY=${MSVC_RUNTIME})
endif()
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=${CXX_COMPILER} ${platform_options}
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}"
    -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix -DCMAKE_FIND_ROOT_PATH=${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)

execute_process(COMMAND ${EMULATOR} ${HWID} anything OUTPUT_VARIABLE expected)
execute_process(COMMAND ${EMULATOR} ${WORK_DIR}/build/licence_check${EXECUTABLE_SUFFIX}
                RESULT_VARIABLE status OUTPUT_VARIABLE out)
string(REPLACE "\r\n" "\n" out "${out}")
if(NOT status EQUAL 0 OR NOT out STREQUAL "${expected}\n")
  message(FATAL_ERROR "own identifier: exit status ${status}, printed\n[${out}]\nhwid prints\n"
                      "[${expected}]")
endif()
# Serial 1 and the single address "AA": no address in common with any real machine.
execute_process(COMMAND ${EMULATOR} ${WORK_DIR}/build/licence_check${EXECUTABLE_SUFFIX} 101065651310
                RESULT_VARIABLE status OUTPUT_VARIABLE out)
if(NOT status EQUAL 1)
  message(FATAL_ERROR "another machine's identifier: exit status ${status}, expected 1")
endif()
