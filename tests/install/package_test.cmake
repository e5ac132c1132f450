# Makes the packages with CPack and lists what each holds; fails unless they hold exactly the
# files below and SHA256SUMS beside them gives each package's SHA-256, as `sha256sum -c` reads
# it. Also a script: cmake -DBUILD_DIR=build/dev -P tests/install/package_test.cmake
# Usage: cmake -DBUILD_DIR=<hwid build> [-DWORK_DIR=<scratch>] [-DCPACK=<cpack>]
#        -P package_test.cmake

cmake_minimum_required(VERSION 3.25)

if(NOT WORK_DIR)
  set(WORK_DIR ${BUILD_DIR}/packages)
endif()
if(NOT CPACK)
  get_filename_component(cmake_bin ${CMAKE_COMMAND} DIRECTORY)
  set(CPACK ${cmake_bin}/cpack)
endif()

include(${BUILD_DIR}/CPackConfig.cmake)
set(version ${CPACK_PACKAGE_VERSION})
file(STRINGS ${BUILD_DIR}/CMakeCache.txt build_type REGEX "^CMAKE_BUILD_TYPE:")
string(REGEX REPLACE "^[^=]*=" "" build_type "${build_type}")
string(TOLOWER "${build_type}" build_type)
set(library_files
    include/hwid/adapter_selection.h include/hwid/decode.h include/hwid/fault.h include/hwid/hwid.h
    include/hwid/identifier.h include/hwid/version.h lib/cmake/hwid/hwidConfig.cmake
    lib/cmake/hwid/hwidConfigVersion.cmake lib/cmake/hwid/hwidTargets.cmake
    lib/cmake/hwid/hwidTargets-${build_type}.cmake lib/libhwid_core.a)
set(expected_TGZ)
set(expected_DEB)
foreach(file bin/hwid bin/hwid-inspect share/doc/hwid/LICENSE share/doc/hwid/README.md
        ${library_files} lib/libhwid_platform.a lib/libhwid.so lib/libhwid.so.1
        lib/libhwid.so.${version} lib/pkgconfig/hwid.pc)
  list(APPEND expected_TGZ hwid-${version}-Linux/${file})
  list(APPEND expected_DEB ./usr/${file})
endforeach()
set(expected_ZIP)
foreach(file hwid.exe hwid-inspect.exe hwid.dll hwid.h libhwid.dll.a LICENSE README.md)
  list(APPEND expected_ZIP hwid-${version}-windows-x64/${file})
endforeach()

file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CPACK} --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cpack failed (${status}):\n${out}")
endif()

# The files (not directories) an archive holds.
function(list_files archive result_var)
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${archive} OUTPUT_VARIABLE listing
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot list ${archive}")
  endif()
  string(REPLACE "\n" ";" entries "${listing}")
  list(FILTER entries EXCLUDE REGEX "(/|^)$")
  list(SORT entries)
  set(${result_var} "${entries}" PARENT_SCOPE)
endfunction()

foreach(generator IN LISTS CPACK_GENERATOR)
  if(generator STREQUAL "DEB")
    file(GLOB package ${WORK_DIR}/*.deb)
    # A .deb is an ar archive around data.tar.*, which holds the files.
    set(unpacked ${WORK_DIR}/deb-contents)
    file(MAKE_DIRECTORY ${unpacked})
    execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${package} WORKING_DIRECTORY ${unpacked})
    file(GLOB data ${unpacked}/data.tar.*)
    list_files(${data} files)
  else()
    string(TOLOWER ${generator} extension)
    string(REPLACE "tgz" "tar.gz" extension ${extension})
    file(GLOB package ${WORK_DIR}/*.${extension})
    list_files(${package} files)
  endif()
  string(REPLACE ";" "\n  " shown "${files}")
  message(STATUS "${package}:\n  ${shown}")
  set(expected ${expected_${generator}})
  list(SORT expected)
  if(NOT files STREQUAL expected)
    string(REPLACE ";" "\n  " wanted "${expected}")
    message(SEND_ERROR "${package} should hold exactly:\n  ${wanted}")
  endif()
endforeach()

# SHA256SUMS: one "<sha256>  <name>" line for each package made, and nothing else.
file(GLOB packages LIST_DIRECTORIES false RELATIVE ${WORK_DIR} ${WORK_DIR}/*.deb
     ${WORK_DIR}/*.tar.gz ${WORK_DIR}/*.zip)
list(SORT packages)
list(LENGTH CPACK_GENERATOR generator_count)
list(LENGTH packages package_count)
if(NOT package_count EQUAL generator_count)
  message(SEND_ERROR "${generator_count} generators made ${package_count} packages: ${packages}")
endif()
set(expected_sums "")
foreach(package IN LISTS packages)
  file(SHA256 ${WORK_DIR}/${package} sum)
  string(APPEND expected_sums "${sum}  ${package}\n")
endforeach()
file(READ ${WORK_DIR}/SHA256SUMS sums)
message(STATUS "${WORK_DIR}/SHA256SUMS:\n${sums}")
if(NOT sums STREQUAL expected_sums)
  message(SEND_ERROR "SHA256SUMS should read:\n${expected_sums}")
endif()
# What a customer runs on a download.
find_program(SHA256SUM sha256sum)
if(SHA256SUM)
  execute_process(COMMAND ${SHA256SUM} --check --strict SHA256SUMS WORKING_DIRECTORY ${WORK_DIR}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(SEND_ERROR "sha256sum --check SHA256SUMS failed (${status}):\n${out}")
  endif()
endif()
