# Installs the build into a fresh prefix, builds a consumer project (tests/consumer in C++ on the
# static library, tests/consumer_c in C on the shared one) against it with
# find_package(hwid CONFIG), and runs the program: it prints what hwid prints for this machine,
# accepts this machine, and refuses another; with UNREADABLE_VOLUME (a preload that makes reading
# the volume fail) it exits with 3, "cannot verify this machine now", naming the failed call and
# printing no identifier. The embedding reference (docs/embedding.md) shows the program: it must
# be this very file. Where pkg-config is found, the C program is also built by hand with what
# hwid.pc gives.
# Usage: cmake -DBUILD_DIR=<hwid build> -DCONSUMER_DIR=<tests/consumer> -DWORK_DIR=<scratch>
#        -DHWID=<hwid> -DCXX_COMPILER=<compiler> -DGENERATOR=<generator> -DPAGE=<docs/embedding.md>
#        [-DSOURCE=<main.cpp>] [-DC_COMPILER=<compiler>]
#        [-DCXX_FLAGS=<flags>] [-DLINKER_FLAGS=<flags>] [-DTOOLCHAIN_FILE=<file>]
#        [-DEMULATOR=<runner>] [-DEXECUTABLE_SUFFIX=<.exe>] [-DMSVC_RUNTIME=<runtime>]
#        [-DUNREADABLE_VOLUME=<preload>]
#        -P consumer_test.cmake
# The consumer is compiled and linked with the build's own flags: a library built with sanitizers
# needs their runtime in every program that links it.

cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/../run_command.cmake)

if(NOT SOURCE)
  set(SOURCE main.cpp)
endif()
if(SOURCE MATCHES "\\.c$")
  set(fence c)
else()
  set(fence cpp)
endif()
file(READ ${CONSUMER_DIR}/${SOURCE} example)
file(READ ${PAGE} page)
string(FIND "${page}" "```${fence}\n${example}```\n" found)
if(found EQUAL -1)
  message(FATAL_ERROR "${PAGE} does not show ${CONSUMER_DIR}/${SOURCE} as it is")
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
set(c_compiler)
if(C_COMPILER)
  set(c_compiler -DCMAKE_C_COMPILER=${C_COMPILER})
endif()
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=${CXX_COMPILER} ${c_compiler}
    ${platform_options}
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_C_FLAGS=${CXX_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}"
    -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix -DCMAKE_FIND_ROOT_PATH=${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)

set(programs ${WORK_DIR}/build/licence_check${EXECUTABLE_SUFFIX})
find_program(PKG_CONFIG pkg-config)
if(fence STREQUAL "c" AND PKG_CONFIG AND NOT TOOLCHAIN_FILE)
  set(ENV{PKG_CONFIG_PATH} ${WORK_DIR}/prefix/lib/pkgconfig)
  execute_process(COMMAND ${PKG_CONFIG} --cflags --libs hwid OUTPUT_VARIABLE flags
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  separate_arguments(build_flags UNIX_COMMAND "${CXX_FLAGS} ${LINKER_FLAGS}")
  run(${C_COMPILER} -std=c99 ${build_flags} ${CONSUMER_DIR}/${SOURCE} ${flags}
      -Wl,-rpath,${WORK_DIR}/prefix/lib -o ${WORK_DIR}/licence_check_pkg_config)
  list(APPEND programs ${WORK_DIR}/licence_check_pkg_config)
endif()

execute_process(COMMAND ${EMULATOR} ${HWID} anything OUTPUT_VARIABLE expected)
foreach(program IN LISTS programs)
  execute_process(COMMAND ${EMULATOR} ${program} RESULT_VARIABLE status OUTPUT_VARIABLE out)
  string(REPLACE "\r\n" "\n" out "${out}")
  if(NOT status EQUAL 0 OR NOT out STREQUAL "${expected}\n")
    message(FATAL_ERROR "${program}, own identifier: exit status ${status}, printed\n[${out}]\n"
                        "hwid prints\n[${expected}]")
  endif()
  # Serial 1 and the single address "AA": no address in common with any real machine.
  execute_process(COMMAND ${EMULATOR} ${program} 101065651310 RESULT_VARIABLE status
                  OUTPUT_VARIABLE out)
  if(NOT status EQUAL 1)
    message(FATAL_ERROR "${program}, another machine's identifier: exit status ${status}, "
                        "expected 1")
  endif()
  if(UNREADABLE_VOLUME)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env LD_PRELOAD=${UNREADABLE_VOLUME} ${program}
                    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE said)
    if(NOT status EQUAL 3 OR NOT out STREQUAL ""
       OR NOT said MATCHES "cannot verify this machine now.*GetVolumeInformationA failed")
      message(FATAL_ERROR "${program}, unreadable volume: exit status ${status}, expected 3; "
                          "printed\n[${out}]\nsaid\n[${said}]")
    endif()
  endif()
endforeach()
