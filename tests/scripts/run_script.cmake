# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one remote-control script on the loopback and compares what it prints
# with the expected output. Each script gets an empty settings folder.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/config)
set(ENV{XDG_CONFIG_HOME} ${WORK}/config)
execute_process(
  COMMAND ${CLI} script --audio=loopback ${SCRIPT}
  WORKING_DIRECTORY ${WORK}
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err
  RESULT_VARIABLE rc
  TIMEOUT 300)
file(WRITE ${WORK}/actual.out "${out}")
file(READ ${EXPECTED} expected)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "zorvane-cli exited with ${rc}\n${err}")
endif()
if(NOT out STREQUAL expected)
  message(FATAL_ERROR "output differs from ${EXPECTED}\n--- expected\n${expected}--- actual\n${out}--- stderr\n${err}")
endif()
