# CPack runs this after each generator: SHA256SUMS beside the packages gives the SHA-256 of every
# package in the directory (the Python wheels and the NuGet package that tools/release.sh puts
# there too), in sha256sum's format, so `sha256sum -c SHA256SUMS` checks a download.
# CPack copies the new package into the directory only after this script, so its hash is taken
# from CPACK_PACKAGE_FILES; the other packages there are hashed as they are.
file(GLOB present LIST_DIRECTORIES false ${CPACK_PACKAGE_DIRECTORY}/*.deb
     ${CPACK_PACKAGE_DIRECTORY}/*.tar.gz ${CPACK_PACKAGE_DIRECTORY}/*.zip
     ${CPACK_PACKAGE_DIRECTORY}/*.whl ${CPACK_PACKAGE_DIRECTORY}/*.nupkg)
set(packages ${CPACK_PACKAGE_FILES})
foreach(file IN LISTS present)
  get_filename_component(name ${file} NAME)
  set(made_now ${CPACK_PACKAGE_FILES})
  list(FILTER made_now INCLUDE REGEX "/${name}$")
  if(NOT made_now)
    list(APPEND packages ${file})
  endif()
endforeach()
# Ordered by name: "<name>/<sha256>" sorts so, and a name has no slash.
set(entries)
foreach(file IN LISTS packages)
  get_filename_component(name ${file} NAME)
  file(SHA256 ${file} sum)
  list(APPEND entries "${name}/${sum}")
endforeach()
list(SORT entries)
set(text "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^(.*)/([0-9a-f]+)$" "\\2  \\1\n" line "${entry}")
  string(APPEND text "${line}")
endforeach()
file(WRITE ${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS "${text}")
