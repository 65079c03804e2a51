# Runs hostsim and checks its exit code and output, for the cases where
# hostsim must fail (or read standard input).
#   -DHOSTSIM=path -DARGS="a|b|c" -DEXIT=N -DMATCH=regex [-DINPUT=file] [-DEMULATOR=program]
string(REPLACE "|" ";" args "${ARGS}")
if(DEFINED INPUT)
  execute_process(COMMAND ${EMULATOR} ${HOSTSIM} ${args} INPUT_FILE ${INPUT}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
else()
  execute_process(COMMAND ${EMULATOR} ${HOSTSIM} ${args} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
endif()
message("${out}${err}")
if(NOT rc STREQUAL "${EXIT}")
  message(FATAL_ERROR "exit code ${rc}, expected ${EXIT}")
endif()
if(NOT "${out}${err}" MATCHES "${MATCH}")
  message(FATAL_ERROR "output does not match: ${MATCH}")
endif()
