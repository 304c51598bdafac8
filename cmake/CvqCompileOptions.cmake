# Warnings, sanitizers and fuzzing flags shared by every target of the project.

add_library(cvq_warnings INTERFACE)
target_compile_options(cvq_warnings INTERFACE -Wall -Wextra -Wshadow -Werror)
# GCC 12 reports std::string copies at -O3 as overlapping (a known false positive).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(cvq_warnings INTERFACE -Wno-restrict)
endif()
# Clang checks the lock rules written with the annotations of base/ThreadSafety.h.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    target_compile_options(cvq_warnings INTERFACE -Wthread-safety)
endif()

set(CVQ_SANITIZER_FLAGS "")
if(CVQ_SANITIZE)
    if(CVQ_OVERRIDE_MALLOC)
        message(FATAL_ERROR "Sanitizer runtimes own malloc: configure with -DCVQ_OVERRIDE_MALLOC=OFF")
    endif()
    string(REPLACE ";" "," _cvq_sanitizers "${CVQ_SANITIZE}")
    set(CVQ_SANITIZER_FLAGS -fsanitize=${_cvq_sanitizers} -fno-sanitize-recover=all
        -fno-omit-frame-pointer)
    add_compile_options(${CVQ_SANITIZER_FLAGS})
    add_link_options(${CVQ_SANITIZER_FLAGS})
endif()

if(CVQ_BUILD_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "Fuzz targets need Clang's libFuzzer")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
