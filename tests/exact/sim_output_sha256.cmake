# Runs quendar-sim with ARGS (G,N,STEPS) and compares the SHA-256 of its
# standard output with SHA. The output is the exactness contract of the
# simulation: a faster step must print the very same bytes.
string(REPLACE "," ";" argv "${ARGS}")
execute_process(COMMAND ${SIM} ${argv}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "quendar-sim ${ARGS}: status ${status}: ${err}")
endif()
string(SHA256 sum "${out}")
if(NOT sum STREQUAL SHA)
  message(FATAL_ERROR "quendar-sim ${ARGS}: sha256 ${sum}, expected ${SHA}")
endif()
