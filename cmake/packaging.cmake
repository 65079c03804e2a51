# The operators' package of a Windows build: one ZIP with the DLL, the README
# and an example settings file, all side by side, so that unpacking the
# folder into the host's directory installs the module.
#
#   cmake --build build-win32 && (cd build-win32 && cpack)
#   -> build-win32/idlewarden-<version>-win32.zip
#
# Included by the top-level CMakeLists.txt for Windows targets only.

set(IDLEWARDEN_README "${PROJECT_SOURCE_DIR}/README.md" CACHE FILEPATH
    "Operators' README put into the package")
set(IDLEWARDEN_EXAMPLE_INI "${PROJECT_SOURCE_DIR}/examples/Idlewarden.ini" CACHE FILEPATH
    "Example settings file put into the package as Idlewarden.ini")

install(TARGETS idlewarden LIBRARY DESTINATION . RUNTIME DESTINATION .)
# Whatever exists when the package is made; the CI script checks that the
# archive really holds all three files.
install(FILES "${IDLEWARDEN_README}" DESTINATION . RENAME README.md OPTIONAL)
install(FILES "${IDLEWARDEN_EXAMPLE_INI}" DESTINATION . RENAME Idlewarden.ini OPTIONAL)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(IDLEWARDEN_PACKAGE_ARCH win32)
else()
  set(IDLEWARDEN_PACKAGE_ARCH win64)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME idlewarden)
set(CPACK_PACKAGE_VENDOR "Idlewarden")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_FILE_NAME "idlewarden-${PROJECT_VERSION}-${IDLEWARDEN_PACKAGE_ARCH}")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}")
include(CPack)
