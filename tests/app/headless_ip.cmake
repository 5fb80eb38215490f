# straatwijs --headless reports the host address and exits 0.
set(ENV{XDG_CONFIG_HOME} "${CMAKE_CURRENT_BINARY_DIR}/headless-config")
execute_process(COMMAND ${PROGRAM} --headless RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE err TIMEOUT 30)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "exit status ${rc}: ${err}")
endif()
if(NOT out MATCHES "IP-address = [0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+\n")
  message(FATAL_ERROR "no IP-address line in: ${out}")
endif()
execute_process(COMMAND ${PROGRAM} --no-such-option RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(NOT rc EQUAL 2)
  message(FATAL_ERROR "a usage error gave exit status ${rc}, not 2")
endif()
