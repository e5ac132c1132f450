# The Debian packages, split as Debian splits a library: hwid (component programs: hwid,
# hwid-inspect, their man pages, README and docs/), libhwid1 (component library: libhwid.so.1, the
# SONAME's number in the name, so that a later ABI can be installed beside it) and libhwid-dev
# (component development, depending on exactly the same version of libhwid1). Each carries what
# Debian's tools look for: /usr/share/doc/<package>/copyright in the machine-readable format and
# changelog.Debian.gz, and the library package its shlibs, symbols and ldconfig trigger. Those
# files are installed only into the packages (EXCLUDE_FROM_ALL), not by a plain cmake --install.
set(debian_source ${PROJECT_SOURCE_DIR}/packaging/debian)
set(debian_build ${PROJECT_BINARY_DIR}/debian)

# The top entry of packaging/debian/changelog gives the Debian revision and the maintainer; it
# must be this version's, or a release would ship an old changelog under a new version.
file(STRINGS ${debian_source}/changelog changelog)
list(GET changelog 0 heading)
if(NOT heading MATCHES "^hwid \\(([^ ]+)-([^- ]+)\\) ")
  message(FATAL_ERROR "packaging/debian/changelog: cannot read the version of [${heading}]")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/debian/changelog: the top entry is for ${CMAKE_MATCH_1}, the "
                      "project is ${PROJECT_VERSION}: add an entry for ${PROJECT_VERSION}")
endif()
set(CPACK_DEBIAN_PACKAGE_RELEASE ${CMAKE_MATCH_2})
list(FILTER changelog INCLUDE REGEX "^ -- ")
list(GET changelog 0 signature)
string(REGEX REPLACE "^ -- (.*>)  .*$" "\\1" CPACK_DEBIAN_PACKAGE_MAINTAINER "${signature}")

# The copyright file: the licence as Debian names it (Expat is its name for this MIT text), with
# the holder and the text taken from LICENSE; paragraphs in a field are separated by " .".
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
if(NOT licence MATCHES "^MIT License\n\nCopyright \\(c\\) ([^\n]+)\n\n(.*[^\n])\n*$")
  message(FATAL_ERROR "LICENSE is no longer the MIT licence: packaging/debian must say so")
endif()
set(copyright_holder "${CMAKE_MATCH_1}")
string(REPLACE "\n\n" "\n.\n" licence_text "${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " licence_text " ${licence_text}")
file(CONFIGURE OUTPUT ${debian_build}/copyright CONTENT [[
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: hwid
Upstream-Contact: ${CPACK_DEBIAN_PACKAGE_MAINTAINER}

Files: *
Copyright: ${copyright_holder}
License: Expat
${licence_text}
]])
configure_file(${debian_source}/changelog ${debian_build}/changelog.Debian COPYONLY)
hwid_gzip(${debian_build}/changelog.Debian)

set(library_package libhwid${PROJECT_VERSION_MAJOR})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL programs library development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE hwid)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Each package's summary is the first line of its own description: CPack would put the project's
# (its default summary) above it.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
# Descriptions: the summary, then paragraphs in lines short enough for a terminal.
set(about_library "libhwid computes this computer's hardware identifier exactly as the hwid
program prints it, and decodes and compares identifiers, through a C interface
that C, C++, Python (ctypes) and .NET (P/Invoke) call alike.")

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME hwid)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PROGRAMS_DESCRIPTION "print a hardware identifier of this computer
hwid prints an identifier made of the serial number of the system volume and
the MAC addresses of the network adapters that own hardware resources, as
software vendors use it to lock a licence to one machine.

hwid-inspect shows what the identifier is made of and why each adapter counts
or not, decodes identifiers, and tells whether two identifiers are of the same
machine.")

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME ${library_package})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION "hardware identifier library (shared library)
${about_library}

This package holds the shared library libhwid.so.${PROJECT_VERSION_MAJOR}.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libhwid-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "hardware identifier library (development files)
${about_library}

This package holds what a program built against the library needs: the
headers, the link to the shared library, the static C++ library hwid::core
with its platform layer, the CMake package (find_package(hwid)) and the
pkg-config file.")
# libhwid-dev's link libhwid.so must point to the very libhwid.so.1 of its own version.
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS library)

# Depends from the ELF files' needs: cmake/debian_depends.cmake, since CPack's own
# CPACK_DEBIAN_PACKAGE_SHLIBDEPS would add maintainer scripts calling ldconfig, which Debian
# replaced by the trigger below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debian_depends.cmake)
set(library_control ${debian_build}/${library_package})
file(CONFIGURE OUTPUT ${library_control}/shlibs CONTENT
     "libhwid ${PROJECT_VERSION_MAJOR} ${library_package} (>= ${PROJECT_VERSION})\n")
file(CONFIGURE OUTPUT ${library_control}/triggers CONTENT "activate-noawait ldconfig\n")
configure_file(${debian_source}/${library_package}.symbols ${library_control}/symbols COPYONLY)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA
    ${library_control}/shlibs ${library_control}/symbols ${library_control}/triggers)

foreach(package IN ITEMS hwid:programs ${library_package}:library libhwid-dev:development)
  string(REPLACE ":" ";" package "${package}")
  list(GET package 0 name)
  list(GET package 1 component)
  install(FILES ${debian_build}/copyright ${debian_build}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${name} COMPONENT ${component}
          EXCLUDE_FROM_ALL)
endforeach()
# Whoever builds against the library reads how to use it, whether or not the programs are
# installed.
hwid_install_documents(${CMAKE_INSTALL_DATAROOTDIR}/doc/libhwid-dev development EXCLUDE_FROM_ALL)
