# The operators' package of a Windows build: one ZIP holding a folder
#
#   idlewarden-<version>-<win32|win64>/
#     idlewarden.dll            the module
#     README.txt                for the operator who runs the host
#     LICENSE.txt, CHANGELOG.txt
#     Idlewarden.example.ini    a commented example, read by nobody
#     hostsim/hostsim.exe       the reference host, to try the module and
#     hostsim/arena.scn,        check a settings file without a server
#     hostsim/arena.ini         (the demo and the settings it copies)
#
# Unpacking it changes nothing the module does: there is no Idlewarden.ini
# in it, and the operator makes one by copying the example. The names end in
# .txt so that Windows opens them with a double-click, and every text file
# has Windows line ends.
#
#   cmake --build build-win32 && (cd build-win32 && cpack)
#   -> build-win32/idlewarden-<version>-win32.zip
#
# Included by the top-level CMakeLists.txt for Windows targets only, after
# the tools.

# Text files go in with Windows line ends, so that every Notepad shows
# their lines; NAME is the file's name in the package.
function(idlewarden_package_text source name destination)
  file(READ "${source}" text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  set(copy "${PROJECT_BINARY_DIR}/package/${destination}/${name}")
  file(WRITE "${copy}" "${text}")
  set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
  install(FILES "${copy}" DESTINATION ${destination})
endfunction()

install(TARGETS idlewarden LIBRARY DESTINATION . RUNTIME DESTINATION .)
idlewarden_package_text("${PROJECT_SOURCE_DIR}/package/README.txt" README.txt .)
idlewarden_package_text("${PROJECT_SOURCE_DIR}/package/Idlewarden.example.ini" Idlewarden.example.ini .)
idlewarden_package_text("${PROJECT_SOURCE_DIR}/LICENSE" LICENSE.txt .)
idlewarden_package_text("${PROJECT_SOURCE_DIR}/CHANGELOG.md" CHANGELOG.txt .)
if(TARGET hostsim)
  install(TARGETS hostsim RUNTIME DESTINATION hostsim)
  idlewarden_package_text("${PROJECT_SOURCE_DIR}/examples/arena.scn" arena.scn hostsim)
  idlewarden_package_text("${PROJECT_SOURCE_DIR}/examples/arena.ini" arena.ini hostsim)
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(IDLEWARDEN_PACKAGE_ARCH win32)
else()
  set(IDLEWARDEN_PACKAGE_ARCH win64)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME idlewarden)
set(CPACK_PACKAGE_VENDOR "the Idlewarden authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_FILE_NAME "idlewarden-${PROJECT_VERSION}-${IDLEWARDEN_PACKAGE_ARCH}")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}")
include(CPack)
