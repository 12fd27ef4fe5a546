# tavri_add_test(<name> SOURCES <files...> [LIBS <targets...>])
# Builds one Qt Test executable and registers it with CTest. Every test runs on
# the offscreen platform with the software Quick backend, with its own
# temporary folder and XDG folders so that tests never share or leave state.
# The time limit only catches a hung test: a window test that takes a minute
# alone takes several on a machine busy with builds and other tests.
function(tavri_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt5::Test ${ARG_LIBS})
    set(home ${CMAKE_BINARY_DIR}/testhome/${name})
    file(MAKE_DIRECTORY ${home}/tmp ${home}/runtime)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        TIMEOUT 900
        ENVIRONMENT "QTEST_FUNCTION_TIMEOUT=900000;QT_QPA_PLATFORM=offscreen;QT_QUICK_BACKEND=software;TMPDIR=${home}/tmp;HOME=${home};XDG_RUNTIME_DIR=${home}/runtime;XDG_CONFIG_HOME=${home}/config;XDG_DATA_HOME=${home}/data;XDG_CACHE_HOME=${home}/cache;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endfunction()

# tavri_add_bench(<name> SOURCES <files...> [LIBS <targets...>])
# Benchmarks are built with the tests but never registered with CTest.
function(tavri_add_bench name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt5::Test ${ARG_LIBS})
endfunction()

# tavri_add_tests_in_folder(LIBS <targets...>)
# Every tst_<name>.cpp in the calling folder becomes the test <name>.
function(tavri_add_tests_in_folder)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
    foreach(source ${sources})
        get_filename_component(stem ${source} NAME_WE)
        string(REGEX REPLACE "^tst_" "" name ${stem})
        tavri_add_test(${name} SOURCES ${source} LIBS ${ARG_LIBS})
    endforeach()
endfunction()

# tavri_add_qml_tests_in_folder(LIBS <targets...>)
# As tavri_add_tests_in_folder, for tests that show QML views: the leak check
# unwinds every allocation in full, so that the suppressions for Qt Quick's
# picture cache (tests/lsan.supp) recognise its frames.
function(tavri_add_qml_tests_in_folder)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    tavri_add_tests_in_folder(LIBS ${ARG_LIBS})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
    foreach(source ${sources})
        get_filename_component(stem ${source} NAME_WE)
        string(REGEX REPLACE "^tst_" "" name ${stem})
        tavri_test_shows_qml(${name})
    endforeach()
endfunction()

# tavri_test_shows_qml(<name>)
# For a test elsewhere that shows QML views: the same full unwinding.
function(tavri_test_shows_qml name)
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
        "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:fast_unwind_on_malloc=0")
endfunction()
