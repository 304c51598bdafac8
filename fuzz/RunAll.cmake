# Runs every fuzz target in turn for a while (the fuzz-all target): each starts from its
# seed corpus, keeps what it finds in the build folder (never in the sources) and puts a
# crashing input in crashes/. Seconds per target: the FUZZ_SECONDS environment variable,
# else CVQ_FUZZ_SECONDS. Prints the inputs each target ran; fails when any crashed.
if(DEFINED ENV{FUZZ_SECONDS} AND NOT "$ENV{FUZZ_SECONDS}" STREQUAL "")
    set(seconds $ENV{FUZZ_SECONDS})
else()
    set(seconds ${SECONDS})
endif()
string(REPLACE "," ";" TARGETS "${TARGETS}")
set(crashes ${WORK}/crashes)
file(MAKE_DIRECTORY ${crashes})
set(failed "")
set(summary "")
foreach(target IN LISTS TARGETS)
    file(MAKE_DIRECTORY ${WORK}/corpus/${target})
    message(STATUS "${target}: ${seconds} s")
    execute_process(
        COMMAND ${BIN}/${target} -max_total_time=${seconds} -print_final_stats=1
                -artifact_prefix=${crashes}/${target}- ${WORK}/corpus/${target}
                ${CORPUS}/${target}
        RESULT_VARIABLE result
        OUTPUT_VARIABLE output
        ERROR_VARIABLE output)
    string(REGEX MATCH "stat::number_of_executed_units: *([0-9]+)" units "${output}")
    set(runs "${CMAKE_MATCH_1}")
    if(result)
        list(APPEND failed ${target})
        file(WRITE ${crashes}/${target}.log "${output}")
        string(APPEND summary "  ${target}: CRASHED (log in ${crashes}/${target}.log)\n")
    else()
        string(APPEND summary "  ${target}: ${runs} inputs\n")
    endif()
endforeach()
message("Fuzz inputs per target (${seconds} s each):\n${summary}")
if(failed)
    message(FATAL_ERROR "crashed: ${failed}; their inputs are in ${crashes}")
endif()
