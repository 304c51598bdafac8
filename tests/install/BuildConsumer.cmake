# cmake -P script: install (or take PREFIX, a root already holding the installed files),
# then configure, build and run the consumer both ways, and run the installed cvq on the
# file the consumer writes.
string(REPLACE ";" " " CXX_FLAGS "${CXX_FLAGS}")
file(REMOVE_RECURSE ${WORK_DIR})

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "failed (${result}): ${ARGN}\n${out}")
    endif()
    set(last_output "${out}" PARENT_SCOPE)
endfunction()

if(PREFIX)
    set(prefix ${PREFIX})
else()
    set(prefix ${WORK_DIR}/prefix)
    run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
endif()
foreach(file include/commonvcqx/CommonVcQx.h include/commonvcqx/platform/WinTypes.h
             share/man/man1/cvq.1.gz)
    if(NOT EXISTS ${prefix}/${file})
        message(FATAL_ERROR "${file} was not installed")
    endif()
endforeach()
file(GLOB_RECURSE stray ${prefix}/include/*.cpp)
if(stray)
    message(FATAL_ERROR "sources installed as headers: ${stray}")
endif()

foreach(mode package pkgconfig)
    set(build ${WORK_DIR}/${mode})
    run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${build} -G Ninja
        -DCMAKE_CXX_COMPILER=${CXX_COMPILER} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
        -DCMAKE_PREFIX_PATH=${prefix} -DCONSUMER_MODE=${mode})
    run(${CMAKE_COMMAND} --build ${build})
    run(${build}/consumer ${build}/written.cvq)
    if(NOT last_output MATCHES "CommonVcQx [0-9]+\\.[0-9]+\\.[0-9]+")
        message(FATAL_ERROR "consumer printed: ${last_output}")
    endif()
endforeach()

# The installed tool, started from the scratch prefix, finds the installed library.
set(cvq ${prefix}/bin/cvq)
set(document ${WORK_DIR}/package/written.cvq)
run(${cvq} --help)
if(NOT last_output MATCHES "usage: cvq")
    message(FATAL_ERROR "cvq --help printed: ${last_output}")
endif()
run(${cvq} verify ${document})
if(NOT last_output STREQUAL "${document}: ok\n")
    message(FATAL_ERROR "cvq verify printed: ${last_output}")
endif()
run(${cvq} dump ${document})
if(NOT last_output MATCHES "Origin \\[10 bytes\\] = \"installed\"\n  Count \\[4 bytes\\] = 7")
    message(FATAL_ERROR "cvq dump printed: ${last_output}")
endif()
