# Configures and builds the ThreadSanitizer build of the USB tests: the
# project once more with -fsanitize=thread, in a folder of its own, and of it
# only the USB test binary with what it links (link, sim and USB libraries).
#   cmake -DSOURCE=<project> -DBINARY=<build folder> -DJOBS=<n> -P tsan_build.cmake

set(launcher)
find_program(CCACHE ccache)
if(CCACHE)
    set(launcher -DCMAKE_CXX_COMPILER_LAUNCHER=${CCACHE} -DCMAKE_C_COMPILER_LAUNCHER=${CCACHE})
endif()
if(NOT EXISTS ${BINARY}/CMakeCache.txt)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY} -DCMAKE_BUILD_TYPE=RelWithDebInfo
                -DQUILLON_TSAN=ON -DQUILLON_BENCH=OFF -DQUILLON_FUZZ=OFF -DQUILLON_PACKAGE=OFF
                ${launcher}
        OUTPUT_QUIET RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "configuring the ThreadSanitizer build in ${BINARY} failed")
    endif()
endif()
execute_process(
    COMMAND ${CMAKE_COMMAND} --build ${BINARY} --target usb_tests -j ${JOBS}
    RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "building the USB tests with ThreadSanitizer failed")
endif()
