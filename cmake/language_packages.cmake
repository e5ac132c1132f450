# The Python wheel of this build's platform, made by every build (alone: `cmake --build <build>
# --target python_wheel`) into <build>/language-packages/: bindings/python's package around this
# build's shared library, stripped as the other packages ship it (language-packages/native/,
# which the NuGet package takes too; tools/release.sh packs that one, as it needs the libraries of
# both platforms). With a certificate, hwid.dll is signed there (cmake/authenticode_sign.sh).
# A library built with sanitizers loads only under their runtime, and the MSVC build is not the
# one released: neither makes a wheel.
if(MSVC OR CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  return()
endif()
# tomllib reads pyproject.toml; the wheel itself needs Python 3.8.
find_package(Python3 3.11 COMPONENTS Interpreter)
if(NOT Python3_Interpreter_FOUND)
  message(STATUS "No Python 3.11 or newer: no python_wheel target")
  return()
endif()

set(HWID_LANGUAGE_PACKAGES_DIR ${PROJECT_BINARY_DIR}/language-packages)
if(WIN32)
  set(native_library ${HWID_LANGUAGE_PACKAGES_DIR}/native/$<TARGET_FILE_NAME:hwid_shared>)
  set(platform --platform win_amd64)
  set(sign COMMAND ${PROJECT_SOURCE_DIR}/cmake/authenticode_sign.sh ${native_library})
else()
  set(native_library ${HWID_LANGUAGE_PACKAGES_DIR}/native/$<TARGET_SONAME_FILE_NAME:hwid_shared>)
  set(platform --objdump ${CMAKE_OBJDUMP})
  set(sign)
endif()
set(package_tools ${PROJECT_SOURCE_DIR}/tools/package)
file(GLOB python_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/bindings/python/hwid/*)
set(wheel_made ${HWID_LANGUAGE_PACKAGES_DIR}/wheel.stamp)
add_custom_command(
  OUTPUT ${wheel_made}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${HWID_LANGUAGE_PACKAGES_DIR}/native
  COMMAND ${CMAKE_STRIP} -o ${native_library} $<TARGET_FILE:hwid_shared>
  ${sign}
  COMMAND ${Python3_EXECUTABLE} ${package_tools}/python_wheel.py
          --project ${PROJECT_SOURCE_DIR}/bindings/python --library ${native_library}
          --version ${PROJECT_VERSION} --licence ${PROJECT_SOURCE_DIR}/LICENSE ${platform}
          --output ${HWID_LANGUAGE_PACKAGES_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${wheel_made}
  DEPENDS hwid_shared ${python_sources} ${PROJECT_SOURCE_DIR}/bindings/python/pyproject.toml
          ${PROJECT_SOURCE_DIR}/LICENSE ${package_tools}/python_wheel.py
          ${package_tools}/reproducible_zip.py
  COMMENT "Python wheel with the shared library"
  VERBATIM)
add_custom_target(python_wheel ALL DEPENDS ${wheel_made})
