# Runs hostsim and checks its exit code and output, for the cases where
# hostsim must fail (or read standard input).
#   -DHOSTSIM=path -DARGS="a|b|c" -DEXIT=N -DMATCH=regex [-DINPUT=file]
#   [-DEMULATOR=program] run hostsim under it
#   [-DWORKDIR=dir] run in dir
#   [-DEXPECT=file] the whole output (standard output, then error) must equal the file
#   [-DOVERSIZE=file] first write a file of 16 MiB and one byte there (removed after)
# A script that includes this one may also set LAUNCH, a command list that
# runs hostsim (such as `cmake -E env ...`).
string(REPLACE "|" ";" args "${ARGS}")
if(NOT DEFINED WORKDIR)
  set(WORKDIR .)
endif()
if(DEFINED OVERSIZE)
  string(REPEAT "x" 16777217 big)
  file(WRITE ${OVERSIZE} "${big}")
endif()
set(options)
if(DEFINED INPUT)
  list(APPEND options INPUT_FILE ${INPUT})
endif()
execute_process(COMMAND ${LAUNCH} ${EMULATOR} ${HOSTSIM} ${args} ${options} WORKING_DIRECTORY ${WORKDIR}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(DEFINED OVERSIZE)
  file(REMOVE ${OVERSIZE})
endif()
message("${out}${err}")
if(NOT rc STREQUAL "${EXIT}")
  message(FATAL_ERROR "exit code ${rc}, expected ${EXIT}")
endif()
if(NOT "${out}${err}" MATCHES "${MATCH}")
  message(FATAL_ERROR "output does not match: ${MATCH}")
endif()
if(DEFINED EXPECT)
  file(READ ${EXPECT} expected)
  if(NOT "${out}${err}" STREQUAL "${expected}")
    message(FATAL_ERROR "output differs from ${EXPECT}")
  endif()
endif()
