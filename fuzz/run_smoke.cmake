# Runs a fuzzer for a few seconds over its seed corpus:
#   cmake -DFUZZER=... -DSEEDS=... -DWORK=... -DSECONDS=... -P run_smoke.cmake
# New inputs go to WORK (in the build tree), never into the seed folder.
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${FUZZER} -max_total_time=${SECONDS} -rss_limit_mb=1024
                        -print_final_stats=1 ${WORK} ${SEEDS}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${FUZZER} failed (${rc})")
endif()
