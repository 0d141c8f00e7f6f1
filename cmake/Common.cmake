# Settings shared by the Windows and the host build.

set(BC_ROOT ${CMAKE_CURRENT_SOURCE_DIR})
set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")

if(MSVC)
    add_compile_options(/W4 /utf-8 /permissive-)
else()
    add_compile_options(-Wall -Wextra)
endif()

# GoogleTest from source, built with the compiler of this build.
function(bc_add_googletest)
    if(TARGET gtest)
        return()
    endif()
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    if(EXISTS ${GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
        add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    else()
        message(FATAL_ERROR "GoogleTest sources not found at ${GOOGLETEST_SOURCE_DIR}; install them (Debian: googletest) or set GOOGLETEST_SOURCE_DIR")
    endif()
endfunction()
