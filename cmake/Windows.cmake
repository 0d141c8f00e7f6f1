# The Windows build: MinGW-w64 cross build on Linux (tests run under Wine) or MSVC on Windows.
enable_language(RC)
set(BC_WINDOWS ON)
set(BC_HOST OFF)

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

if(MINGW)
    # One self-contained exe: no libstdc++, libgcc or winpthread DLLs next to it.
    add_link_options(-static)
elseif(MSVC)
    set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
    # The .rc carries our own manifest.
    add_link_options(/MANIFEST:NO)
endif()

if(CMAKE_CROSSCOMPILING)
    set(WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    configure_file(${BC_ROOT}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run
                   @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

    # The host part (build tools, host tests, fuzz targets) is built natively as a sub-build,
    # and its test suite runs as one test of this build, so one ctest covers everything.
    include(ExternalProject)
    find_program(HOST_CXX NAMES clang++ clang++-14 c++ REQUIRED)
    find_program(HOST_CC NAMES clang clang-14 cc REQUIRED)
    ExternalProject_Add(host
        SOURCE_DIR ${BC_ROOT}
        BINARY_DIR ${CMAKE_BINARY_DIR}/host
        CMAKE_ARGS -G ${CMAKE_GENERATOR}
                   -DCMAKE_C_COMPILER=${HOST_CC}
                   -DCMAKE_CXX_COMPILER=${HOST_CXX}
                   -DCMAKE_BUILD_TYPE=RelWithDebInfo
                   -DGOOGLETEST_SOURCE_DIR=${GOOGLETEST_SOURCE_DIR}
        INSTALL_COMMAND ""
        BUILD_ALWAYS ON
        BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/host/tools/packLanguages
        USES_TERMINAL_BUILD ON)
    set(BC_HOST_BINARY_DIR ${CMAKE_BINARY_DIR}/host)
    add_test(NAME host COMMAND ${CMAKE_CTEST_COMMAND} --test-dir ${BC_HOST_BINARY_DIR} --output-on-failure -j2)
endif()

# The language packer (tools/packLanguages) runs at build time: the cross build takes it from the
# host sub-build, a native Windows build builds it in this tree (tools/).
if(CMAKE_CROSSCOMPILING)
    set(BC_LANGUAGE_PACKER ${CMAKE_BINARY_DIR}/host/tools/packLanguages)
    set(BC_LANGUAGE_PACKER_DEPENDS host ${BC_LANGUAGE_PACKER})
else()
    set(BC_LANGUAGE_PACKER packLanguages)
    set(BC_LANGUAGE_PACKER_DEPENDS packLanguages)
endif()

bc_add_googletest()

# Programs whose entry point takes wide arguments (wWinMain, wmain).
function(bc_wide_entry target)
    if(MINGW)
        target_link_options(${target} PRIVATE -municode)
    endif()
endfunction()

# A GoogleTest executable that runs on Windows (under Wine when cross-compiling).
function(bc_add_windows_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    # Every test program first checks that its user locale is the one LC_ALL asks for.
    add_executable(${name} ${ARG_SOURCES} ${BC_ROOT}/tests/locale/LocaleGuard.cpp)
    target_link_libraries(${name} PRIVATE gtest ${ARG_LIBS} bc_locale_check)
    target_include_directories(${name} PRIVATE ${BC_ROOT})
    # Out-of-range container accesses abort in tests instead of reading garbage.
    target_compile_definitions(${name} PRIVATE _GLIBCXX_ASSERTIONS)
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
endfunction()

# Module folders, in the order their libraries depend on each other.
foreach(folder base lang tools settings engine sysinfo share ui update res app tests bench)
    if(EXISTS ${BC_ROOT}/${folder}/CMakeLists.txt)
        add_subdirectory(${folder})
    endif()
endforeach()

# Brindlecrest.rc links the packed language archive from the lang build folder.
if(TARGET bc_resources AND TARGET bc_language_archive)
    get_filename_component(archiveFolder ${BC_LANGUAGE_ARCHIVE} DIRECTORY)
    target_include_directories(bc_resources PRIVATE ${archiveFolder})
    add_dependencies(bc_resources bc_language_archive)
    set_property(SOURCE ${BC_ROOT}/res/Brindlecrest.rc DIRECTORY ${BC_ROOT}/res
                 APPEND PROPERTY OBJECT_DEPENDS ${BC_LANGUAGE_ARCHIVE})
endif()
