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
# README and the pages it links, installed beside it.
file(GLOB pages RELATIVE ${CMAKE_CURRENT_LIST_DIR}/../.. ${CMAKE_CURRENT_LIST_DIR}/../../docs/*.md)
set(documents README.md ${pages})
set(development_files
    include/hwid/adapter_selection.h include/hwid/decode.h include/hwid/fault.h
    include/hwid/hwid.h include/hwid/identifier.h include/hwid/version.h
    lib/cmake/hwid/hwidConfig.cmake lib/cmake/hwid/hwidConfigVersion.cmake
    lib/cmake/hwid/hwidTargets.cmake lib/cmake/hwid/hwidTargets-${build_type}.cmake
    lib/libhwid_core.a lib/libhwid_platform.a lib/libhwid.so lib/pkgconfig/hwid.pc)
set(library_files lib/libhwid.so.1 lib/libhwid.so.${version})
set(man_pages share/man/man1/hwid.1.gz share/man/man1/hwid-inspect.1.gz)

# expect(PACKAGE PREFIX FILE...): PACKAGE must be made, holding exactly the FILEs under PREFIX.
set(packages_expected)
macro(expect package prefix)
  list(APPEND packages_expected ${package})
  set(expected_${package} ${ARGN})
  list(TRANSFORM expected_${package} PREPEND ${prefix})
  list(SORT expected_${package})
endmacro()
# doc_dir(PACKAGE RESULT_VAR FILE...): the FILEs in Debian package PACKAGE's documentation folder,
# with the two files every package carries there.
function(doc_dir package result_var)
  set(files ${ARGN} copyright changelog.Debian.gz)
  list(TRANSFORM files PREPEND share/doc/${package}/)
  set(${result_var} ${files} PARENT_SCOPE)
endfunction()

if(CPACK_GENERATOR STREQUAL "ZIP")
  expect(hwid-${version}-windows-x64.zip hwid-${version}-windows-x64/
         hwid.exe hwid-inspect.exe hwid.dll hwid.h libhwid.dll.a LICENSE ${documents})
else()
  set(tgz_documents ${documents} LICENSE)
  list(TRANSFORM tgz_documents PREPEND share/doc/hwid/)
  expect(hwid-${version}-Linux.tar.gz hwid-${version}-Linux/ bin/hwid bin/hwid-inspect
         ${man_pages} ${tgz_documents} ${library_files} ${development_files})
  execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE architecture
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  set(deb_suffix _${version}-${CPACK_DEBIAN_PACKAGE_RELEASE}_${architecture}.deb)
  set(library_package ${CPACK_DEBIAN_LIBRARY_PACKAGE_NAME})
  doc_dir(hwid hwid_documents ${documents})
  doc_dir(${library_package} library_documents)
  doc_dir(libhwid-dev development_documents ${documents})
  expect(hwid${deb_suffix} ./usr/ bin/hwid bin/hwid-inspect ${man_pages} ${hwid_documents})
  expect(${library_package}${deb_suffix} ./usr/ ${library_files} ${library_documents})
  expect(libhwid-dev${deb_suffix} ./usr/ ${development_files} ${development_documents})
endif()

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

file(GLOB packages LIST_DIRECTORIES false RELATIVE ${WORK_DIR} ${WORK_DIR}/*.deb
     ${WORK_DIR}/*.tar.gz ${WORK_DIR}/*.zip)
list(SORT packages)
list(SORT packages_expected)
if(NOT packages STREQUAL packages_expected)
  message(SEND_ERROR "CPack made [${packages}], expected [${packages_expected}]")
endif()
foreach(package IN LISTS packages_expected)
  if(NOT EXISTS ${WORK_DIR}/${package})
    continue()
  endif()
  if(package MATCHES "\\.deb$")
    # A .deb is an ar archive around data.tar.*, which holds the files.
    set(unpacked ${WORK_DIR}/deb-contents/${package})
    file(MAKE_DIRECTORY ${unpacked})
    execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${WORK_DIR}/${package}
                    WORKING_DIRECTORY ${unpacked})
    file(GLOB data ${unpacked}/data.tar.*)
    list_files(${data} files)
  else()
    list_files(${WORK_DIR}/${package} files)
  endif()
  string(REPLACE ";" "\n  " shown "${files}")
  message(STATUS "${package}:\n  ${shown}")
  if(NOT files STREQUAL expected_${package})
    string(REPLACE ";" "\n  " wanted "${expected_${package}}")
    message(SEND_ERROR "${package} should hold exactly:\n  ${wanted}")
  endif()
endforeach()

# SHA256SUMS: one "<sha256>  <name>" line for each package made, and nothing else.
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
