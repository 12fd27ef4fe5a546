# Runs PROGRAM with ARGS (a ;-list) and checks that it exits with code 0 and
# writes exactly EXPECTED to standard output (no line feed added); standard
# error, where the log lines go, is not looked at.
separate_arguments(args UNIX_COMMAND "${ARGS}")
execute_process(COMMAND ${PROGRAM} ${args}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc STREQUAL "0")
    message(FATAL_ERROR "exit code ${rc}, expected 0\n${err}")
endif()
if(NOT out STREQUAL EXPECTED)
    message(FATAL_ERROR "standard output was [${out}], expected [${EXPECTED}]")
endif()
