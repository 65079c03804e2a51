# Runs hostsim and checks its exit code and output, for the cases where
# hostsim must fail (or read standard input).
#   -DHOSTSIM=path -DARGS="a|b|c" -DEXIT=N -DMATCH=regex [-DINPUT=file]
# A script that includes this one may also set LAUNCH (a command list that
# runs hostsim, such as `cmake -E env ...`) and WORKDIR (its directory).
string(REPLACE "|" ";" args "${ARGS}")
set(options)
if(DEFINED INPUT)
  list(APPEND options INPUT_FILE ${INPUT})
endif()
if(DEFINED WORKDIR)
  list(APPEND options WORKING_DIRECTORY ${WORKDIR})
endif()
execute_process(COMMAND ${LAUNCH} ${HOSTSIM} ${args} ${options}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}${err}")
if(NOT rc STREQUAL "${EXIT}")
  message(FATAL_ERROR "exit code ${rc}, expected ${EXIT}")
endif()
if(NOT "${out}${err}" MATCHES "${MATCH}")
  message(FATAL_ERROR "output does not match: ${MATCH}")
endif()
