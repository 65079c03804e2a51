# Runs hostsim on a scenario that tries to leave its work directory and
# checks that it is refused (exit code EXIT, output matching MATCH) and
# that nothing changed in the test's own directory, where the "outside"
# lies.
#   -DHOSTSIM=path -DARGS="a|b" -DDIR=scratch -DTEMPLATE=file.scn -DEXIT=N -DMATCH=regex
#   [-DLINK=ON] [-DTMP=dir]
# In TEMPLATE, @OUTSIDE@ stands for the absolute scratch directory. The work
# directory is a temporary one under TMPDIR, which is TMP (relative to DIR)
# or else DIR/tmp; with LINK it is DIR/work instead, holding a link `link`
# to DIR/outside.
file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR}/tmp ${DIR}/outside)
file(READ ${TEMPLATE} text)
string(REPLACE "@OUTSIDE@" "${DIR}" text "${text}")
file(WRITE ${DIR}/case.scn "${text}")
if(LINK)
  file(MAKE_DIRECTORY ${DIR}/work)
  file(CREATE_LINK ${DIR}/outside ${DIR}/work/link SYMBOLIC)
  set(ARGS "${ARGS}|--workdir|${DIR}/work")
endif()
if(NOT DEFINED TMP)
  set(TMP ${DIR}/tmp)
endif()
file(GLOB_RECURSE before LIST_DIRECTORIES true ${DIR}/*)
set(LAUNCH ${CMAKE_COMMAND} -E env TMPDIR=${TMP})
set(ARGS "${ARGS}|${DIR}/case.scn")
set(WORKDIR ${DIR})
include(${CMAKE_CURRENT_LIST_DIR}/check_run.cmake)
file(GLOB_RECURSE after LIST_DIRECTORIES true ${DIR}/*)
if(NOT before STREQUAL after)
  message(FATAL_ERROR "the run changed ${DIR}:\n  before: ${before}\n  after:  ${after}")
endif()
