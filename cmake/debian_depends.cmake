# CPack runs this after staging the files of each Debian package and before packing them: each
# package's Depends gains what dpkg-shlibdeps says its ELF files need, as CPack's own
# CPACK_DEBIAN_PACKAGE_SHLIBDEPS would find, but without the postinst and postrm calling ldconfig
# that CPack then adds to a package holding a shared library (libhwid1 has Debian's ldconfig
# trigger instead).
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT DPKG_SHLIBDEPS)
  message(WARNING "dpkg-shlibdeps (Debian's dpkg-dev) not found: the Debian packages will not "
                  "depend on the system libraries they need")
  return()
endif()

foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  set(root ${CPACK_TEMPORARY_DIRECTORY}/${component})
  file(GLOB_RECURSE files LIST_DIRECTORIES false ${root}/*)
  set(elf_files)
  foreach(file IN LISTS files)
    if(NOT IS_SYMLINK ${file})
      file(READ ${file} magic LIMIT 4 HEX)
      if(magic STREQUAL "7f454c46")
        list(APPEND elf_files ${file})
      endif()
    endif()
  endforeach()
  if(NOT elf_files)
    continue()
  endif()
  # dpkg-shlibdeps wants a source package's control file, and finds the package's own root by
  # its DEBIAN folder; neither is packed.
  file(WRITE ${root}/debian/control "")
  file(MAKE_DIRECTORY ${root}/DEBIAN)
  # As CPack does, a library that no package provides (a toolchain of one's own) is left out of
  # Depends rather than stopping the packing.
  execute_process(COMMAND ${DPKG_SHLIBDEPS} --ignore-missing-info -O ${elf_files}
                  WORKING_DIRECTORY ${root} RESULT_VARIABLE status OUTPUT_VARIABLE depends
                  ERROR_VARIABLE errors OUTPUT_STRIP_TRAILING_WHITESPACE)
  file(REMOVE_RECURSE ${root}/debian ${root}/DEBIAN)
  if(NOT status EQUAL 0 OR NOT depends MATCHES "^shlibs:Depends=")
    message(FATAL_ERROR "dpkg-shlibdeps failed on ${elf_files} (${status}):\n${depends}${errors}")
  endif()
  string(TOUPPER ${component} variable)
  string(REGEX REPLACE "^shlibs:Depends=" "" CPACK_DEBIAN_${variable}_PACKAGE_DEPENDS
                       "${depends}")
endforeach()
