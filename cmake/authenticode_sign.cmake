# CPack runs this after installing into its staging folder, stripped, and before packing: the
# Windows programs and libraries there are signed when HWID_AUTHENTICODE_PFX is set
# (cmake/authenticode_sign.sh).
file(GLOB_RECURSE binaries ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.exe
     ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.dll)
if(binaries)
  execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/authenticode_sign.sh ${binaries}
                  COMMAND_ERROR_IS_FATAL ANY)
endif()
