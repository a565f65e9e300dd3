# Runs one fuzz target for a bounded time: cmake -DFUZZER=<program>
# -DSEEDS=<committed corpus> -DWORK=<scratch folder> -DMAX_LEN=<n> -P this.
# Fails on any crash, leak or sanitizer report (libFuzzer exits non-zero).
set(seconds 30)
if(DEFINED ENV{SETUP_FUZZ_SECONDS})
  set(seconds $ENV{SETUP_FUZZ_SECONDS})
endif()
set(seed 1)
if(DEFINED ENV{SETUP_FUZZ_SEED})
  set(seed $ENV{SETUP_FUZZ_SEED})
endif()

# libFuzzer writes what it finds into the first corpus folder: a fresh
# scratch one, never the committed seeds.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts)

execute_process(
  COMMAND ${FUZZER}
    -seed=${seed}
    -max_total_time=${seconds}
    -max_len=${MAX_LEN}
    -print_final_stats=1
    -artifact_prefix=${WORK}/artifacts/
    ${WORK}/corpus ${SEEDS}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${result}); the input is in ${WORK}/artifacts")
endif()
