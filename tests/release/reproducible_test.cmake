# Builds what is shipped twice, from two copies of the sources at different paths and at
# different times, and compares the SHA-256 of every installed file and every package. Anyone
# with the same toolchain must get a release's very bytes from its commit.
# Usage: cmake -DSOURCE_DIR=<tree> -DWORK_DIR=<scratch> -DBUILD_TYPE=<Release|MinSizeRel>
#        -DGENERATOR=<generator> -DCXX_COMPILER=<compiler> [-DC_COMPILER=<compiler>]
#        [-DTOOLCHAIN_FILE=<file>] [-DCPACK=<cpack>] [-DJOBS=<n>] [-DPYTHON=<python3>]
#        [-DVERSION=<version> -DLINUX_LIBRARY=<libhwid.so.1>] -P reproducible_test.cmake
# A toolchain file inside SOURCE_DIR is taken from each copy. The Python wheel each build makes
# goes among the packages, as tools/release.sh puts it; given PYTHON, the version and a Linux
# build's library, a Windows build also packs the NuGet package, which needs both.

cmake_minimum_required(VERSION 3.25)

if(NOT CPACK)
  get_filename_component(cmake_bin ${CMAKE_COMMAND} DIRECTORY)
  set(CPACK ${cmake_bin}/cpack)
endif()
if(NOT JOBS)
  set(JOBS 2)
endif()
# Packages carry file times; the release job packs at the commit's time, so any fixed time will
# do here. The builds themselves get none: their bytes must not depend on the clock.
set(package_time 1700000000)

include(${CMAKE_CURRENT_LIST_DIR}/../run_command.cmake)

# A compiler launcher would hand the second build the first one's objects: each compiles alone.
# Nor is anything signed: signatures carry their time.
foreach(variable CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER SOURCE_DATE_EPOCH
                 HWID_AUTHENTICODE_PFX)
  unset(ENV{${variable}})
endforeach()

# build(<copy dir> <source dir name> <result var>): "<sha256>  <file>" for every installed file
# and every package of one clean build.
function(build copy_dir source_name result_var)
  set(source ${copy_dir}/${source_name})
  set(binary ${copy_dir}/build-${source_name})
  file(REMOVE_RECURSE ${copy_dir})
  # The tree as a checkout has it: no build trees, no version-control or tool state.
  file(GLOB entries LIST_DIRECTORIES true RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
  list(FILTER entries EXCLUDE REGEX "^(\\.|build$)")
  list(TRANSFORM entries PREPEND ${SOURCE_DIR}/)
  file(COPY ${entries} DESTINATION ${source})

  set(compilers)
  if(C_COMPILER)
    set(compilers -DCMAKE_C_COMPILER=${C_COMPILER})
  endif()
  if(TOOLCHAIN_FILE)
    file(RELATIVE_PATH inside ${SOURCE_DIR} ${TOOLCHAIN_FILE})
    if(inside MATCHES "^\\.\\./")
      list(APPEND compilers -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE})
    else()
      list(APPEND compilers -DCMAKE_TOOLCHAIN_FILE=${source}/${inside})
    endif()
  endif()
  run(${CMAKE_COMMAND} -S ${source} -B ${binary} -G ${GENERATOR} -DCMAKE_BUILD_TYPE=${BUILD_TYPE}
      -DCMAKE_CXX_COMPILER=${CXX_COMPILER} ${compilers} -DHWID_BUILD_TESTS=OFF
      -DHWID_BUILD_BENCHMARKS=OFF -DHWID_BUILD_FUZZERS=OFF)
  run(${CMAKE_COMMAND} --build ${binary} -j ${JOBS})
  run(${CMAKE_COMMAND} --install ${binary} --prefix ${copy_dir}/installed --strip)
  set(ENV{SOURCE_DATE_EPOCH} ${package_time})
  file(GLOB wheels ${binary}/language-packages/*.whl)
  file(COPY ${wheels} DESTINATION ${copy_dir}/packages)
  set(windows_library ${binary}/language-packages/native/hwid.dll)
  if(PYTHON AND EXISTS "${LINUX_LIBRARY}" AND EXISTS ${windows_library})
    run(${PYTHON} ${source}/tools/package/nuget_package.py --linux-library ${LINUX_LIBRARY}
        --windows-library ${windows_library} --version ${VERSION}
        --project-url https://example.invalid/hwid --output ${copy_dir}/packages)
  endif()
  run(${CPACK} --config ${binary}/CPackConfig.cmake -B ${copy_dir}/packages)
  unset(ENV{SOURCE_DATE_EPOCH})

  set(sums)
  file(GLOB_RECURSE installed RELATIVE ${copy_dir} ${copy_dir}/installed/*)
  file(GLOB packages LIST_DIRECTORIES false RELATIVE ${copy_dir} ${copy_dir}/packages/*)
  foreach(file IN LISTS installed packages)
    file(SHA256 ${copy_dir}/${file} sum)
    list(APPEND sums "${sum}  ${file}")
  endforeach()
  list(SORT sums COMPARE STRING)
  set(${result_var} "${sums}" PARENT_SCOPE)
endfunction()

# Different lengths as well as names, so no path can hide in padding.
build(${WORK_DIR}/a src first)
# A second apart at least, so any time stamp in seconds differs.
run(${CMAKE_COMMAND} -E sleep 2)
build(${WORK_DIR}/second-build hwid-checkout second)

foreach(kind installed packages)
  if(NOT first MATCHES "  ${kind}/")
    message(FATAL_ERROR "the build left nothing in ${kind}/: nothing to compare")
  endif()
endforeach()
if(PYTHON AND NOT first MATCHES "\\.whl(;|$)")
  message(FATAL_ERROR "the build made no Python wheel: nothing to compare")
endif()
if(NOT first STREQUAL second)
  set(only_first ${first})
  list(REMOVE_ITEM only_first ${second})
  set(only_second ${second})
  list(REMOVE_ITEM only_second ${first})
  string(REPLACE ";" "\n  " only_first "${only_first}")
  string(REPLACE ";" "\n  " only_second "${only_second}")
  message(FATAL_ERROR "the two builds differ (SHA-256, file)\nfirst build only:\n  ${only_first}\n"
                      "second build only:\n  ${only_second}\n"
                      "trees: ${WORK_DIR}/a, ${WORK_DIR}/second-build")
endif()
list(LENGTH first count)
string(REPLACE ";" "\n  " shown "${first}")
message(STATUS "both builds gave the same ${count} files:\n  ${shown}")
