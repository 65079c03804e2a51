# Fails unless the newest release in CHANGELOG.md is the project() version,
# so that a release number cannot change in one place only.
#   cmake -DCHANGELOG=CHANGELOG.md -DVERSION=1.2.3 -P cmake/check_changelog.cmake
file(STRINGS "${CHANGELOG}" headings REGEX "^## \\[[0-9]+\\.[0-9]+\\.[0-9]+\\]")
if(NOT headings)
  message(FATAL_ERROR "${CHANGELOG}: no release heading of the form \"## [X.Y.Z] - DATE\"")
endif()
list(GET headings 0 newest)
string(REGEX REPLACE "^## \\[([0-9.]+)\\].*" "\\1" newest "${newest}")
if(NOT newest STREQUAL VERSION)
  message(FATAL_ERROR "${CHANGELOG}: the newest release is ${newest}, but CMakeLists.txt says ${VERSION}")
endif()
message(STATUS "CHANGELOG.md and CMakeLists.txt agree: ${VERSION}")
