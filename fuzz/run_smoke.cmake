# Runs a fuzzer for a few seconds over its seed corpus:
#   cmake -DFUZZER=... -DSEEDS=... -DWORK=... -DSECONDS=... -P run_smoke.cmake
# New inputs go to WORK (in the build tree), never into the seed folder; an
# input that fails goes to findings/ beside corpus/. FUZZ_SECONDS in the
# environment overrides SECONDS (make fuzz). One line tells what the run did
# (also added to summary.txt there); a failure shows the fuzzer's whole report.
file(MAKE_DIRECTORY ${WORK})
if(DEFINED ENV{FUZZ_SECONDS})
    set(SECONDS $ENV{FUZZ_SECONDS})
endif()
get_filename_component(name ${FUZZER} NAME)
# WORK is <fuzz build folder>/corpus/NAME.
get_filename_component(corpora ${WORK} DIRECTORY)
get_filename_component(fuzz_dir ${corpora} DIRECTORY)
set(findings ${fuzz_dir}/findings)
file(MAKE_DIRECTORY ${findings})
execute_process(COMMAND ${FUZZER} -max_total_time=${SECONDS} -rss_limit_mb=1024
                        -print_final_stats=1 -artifact_prefix=${findings}/${name}-
                        ${WORK} ${SEEDS}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${FUZZER} failed (${rc}):\n${out}")
endif()
string(REGEX MATCH "stat::number_of_executed_units: ([0-9]+)" runs "${out}")
set(runs ${CMAKE_MATCH_1})
string(REGEX MATCH "INITED cov: ([0-9]+)" seeded "${out}")
set(seeded ${CMAKE_MATCH_1})
string(REGEX MATCH "DONE +cov: ([0-9]+)" done "${out}")
set(done ${CMAKE_MATCH_1})
file(GLOB corpus ${WORK}/*)
list(LENGTH corpus kept)
set(line "${name}: ${runs} inputs in ${SECONDS} s, coverage ${seeded} from the seeds, "
         "${done} at the end, ${kept} inputs kept in ${WORK}")
string(CONCAT line ${line})
message(STATUS "${line}")
file(APPEND ${fuzz_dir}/summary.txt "${line}\n")
