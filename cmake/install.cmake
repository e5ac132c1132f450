# cmake --install: the two programs with their man pages, README and the pages under docs/ it
# links, and the licence (components programs and licence); the shared library (libhwid.so.1,
# hwid.dll: component library); and the static library with the public headers, the shared
# library's link name or import library, the package config and a pkg-config file, so that
# find_package(hwid CONFIG) gives hwid::core and hwid::shared (component development). CPack packs
# them: on Linux a .tar.gz of everything and the Debian packages (cmake/debian.cmake), on Windows
# a .zip of the programs, the library and the licence, flat, for handing to customers, with the C
# header and import library beside hwid.dll; SHA256SUMS goes beside the packages.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

if(WIN32)
  set(HWID_INSTALL_RUNTIME_DIR .)
  set(HWID_INSTALL_DOC_DIR .)
else()
  set(HWID_INSTALL_RUNTIME_DIR ${CMAKE_INSTALL_BINDIR})
  set(HWID_INSTALL_DOC_DIR ${CMAKE_INSTALL_DOCDIR})
endif()
set(HWID_INSTALL_CONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/hwid)

# hwid_install_documents(DIR COMPONENT [EXCLUDE_FROM_ALL]): README and the pages under docs/ in
# DIR, keeping their layout so that README's links resolve where it is installed.
function(hwid_install_documents directory component)
  install(FILES README.md DESTINATION ${directory} COMPONENT ${component} ${ARGN})
  install(DIRECTORY docs/ DESTINATION ${directory}/docs COMPONENT ${component} ${ARGN}
          FILES_MATCHING PATTERN "*.md")
endfunction()

# hwid_gzip(FILE): FILE.gz beside FILE at build time, as Debian compresses man pages and
# changelogs: the most compression, and no name or time in the header, so rebuilds give the same
# bytes.
set(hwid_gzip_outputs)
macro(hwid_gzip file)
  add_custom_command(OUTPUT ${file}.gz COMMAND gzip -n -9 -k -f ${file} DEPENDS ${file} VERBATIM)
  list(APPEND hwid_gzip_outputs ${file}.gz)
endmacro()

install(TARGETS hwid hwid-inspect RUNTIME DESTINATION ${HWID_INSTALL_RUNTIME_DIR}
        COMPONENT programs)
hwid_install_documents(${HWID_INSTALL_DOC_DIR} programs)
install(FILES LICENSE DESTINATION ${HWID_INSTALL_DOC_DIR} COMPONENT licence)
if(NOT WIN32)
  foreach(program hwid hwid-inspect)
    set(man_page ${PROJECT_BINARY_DIR}/man/${program}.1)
    configure_file(packaging/man/${program}.1.in ${man_page} @ONLY)
    hwid_gzip(${man_page})
    install(FILES ${man_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT programs)
  endforeach()
endif()

# A shared library needs no execute permission to be loaded, and Debian ships none.
install(TARGETS hwid_shared EXPORT hwidTargets
        RUNTIME DESTINATION ${HWID_INSTALL_RUNTIME_DIR} COMPONENT library
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library
                NAMELINK_COMPONENT development
                PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
if(WIN32)
  install(FILES include/hwid/hwid.h $<TARGET_LINKER_FILE:hwid_shared>
          DESTINATION ${HWID_INSTALL_RUNTIME_DIR} COMPONENT library)
endif()

install(TARGETS hwid_core hwid_platform EXPORT hwidTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
        FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
install(EXPORT hwidTargets NAMESPACE hwid:: DESTINATION ${HWID_INSTALL_CONFIG_DIR}
        COMPONENT development)
configure_package_config_file(cmake/hwidConfig.cmake.in
  ${PROJECT_BINARY_DIR}/hwidConfig.cmake INSTALL_DESTINATION ${HWID_INSTALL_CONFIG_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/hwidConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/hwidConfig.cmake ${PROJECT_BINARY_DIR}/hwidConfigVersion.cmake
        DESTINATION ${HWID_INSTALL_CONFIG_DIR} COMPONENT development)

# pkg-config finds the prefix from where hwid.pc lies, so the installed tree can be moved.
set(HWID_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH HWID_PKGCONFIG_TO_PREFIX /prefix/${HWID_PKGCONFIG_DIR} /prefix)
configure_file(cmake/hwid.pc.in ${PROJECT_BINARY_DIR}/hwid.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/hwid.pc DESTINATION ${HWID_PKGCONFIG_DIR}
        COMPONENT development)

set(CPACK_PACKAGE_NAME hwid)
set(CPACK_PACKAGE_VENDOR "The hwid authors")
set(CPACK_PACKAGE_CONTACT "The hwid authors")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/sha256sums.cmake)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL programs library licence)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_PACKAGE_FILE_NAME hwid-${PROJECT_VERSION}-windows-x64)
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/authenticode_sign.cmake)
else()
  set(CPACK_GENERATOR TGZ DEB)
  include(cmake/debian.cmake)
endif()
include(CPack)

if(hwid_gzip_outputs)
  add_custom_target(hwid_compressed_documents ALL DEPENDS ${hwid_gzip_outputs})
endif()
