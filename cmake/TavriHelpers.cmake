# tavri_add_test(<name> SOURCES <files...> [LIBS <targets...>] [X11])
# Builds one Qt Test executable and registers it with CTest. Every test runs on
# the offscreen platform with the software Quick backend, with its own
# temporary folder and XDG folders so that tests never share or leave state.
# An X11 test runs on a virtual X server of its own (xvfb-run, 1280 x 1024 in
# true colour) with the xcb platform, for pictures of windows, which the
# offscreen platform cannot grab. It draws with Qt Quick's software backend:
# the OpenGL one runs on Mesa's llvmpipe, whose generated code the leak
# checker cannot unwind (it hangs when unwinding fully and reports leaks it
# cannot place otherwise). scripts/screens runs such a test by hand with the
# default backend.
# The time limit only catches a hung test: a window test that takes a minute
# alone takes several on a machine busy with builds and other tests.
function(tavri_add_test name)
    cmake_parse_arguments(ARG "X11" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt5::Test ${ARG_LIBS})
    set(home ${CMAKE_BINARY_DIR}/testhome/${name})
    file(MAKE_DIRECTORY ${home}/tmp ${home}/runtime)
    if(ARG_X11)
        add_test(NAME ${name} COMMAND xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" $<TARGET_FILE:${name}>)
        set(display "QT_QPA_PLATFORM=xcb;QT_QUICK_BACKEND=software")
    else()
        add_test(NAME ${name} COMMAND ${name})
        set(display "QT_QPA_PLATFORM=offscreen;QT_QUICK_BACKEND=software")
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT 900
        ENVIRONMENT "QTEST_FUNCTION_TIMEOUT=900000;${display};TMPDIR=${home}/tmp;HOME=${home};XDG_RUNTIME_DIR=${home}/runtime;XDG_CONFIG_HOME=${home}/config;XDG_DATA_HOME=${home}/data;XDG_CACHE_HOME=${home}/cache;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
    if(ARG_X11)
        # X11 tests show windows: full unwinding for the Qt Quick suppressions,
        # and no strict string checks, which misread the X keyboard library's
        # copies of its unterminated names as overflows.
        set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
            "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=0:fast_unwind_on_malloc=0")
    endif()
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

# tavri_add_subdirectories(<folder>... [ELSEWHERE <folder>...])
# Adds the listed folders of the calling directory, in the order given, and
# fails the configuration when a folder beside them has a CMakeLists.txt but
# is not listed: a new folder cannot stay out of the build unnoticed. Folders
# after ELSEWHERE are known but added by another configuration.
function(tavri_add_subdirectories)
    cmake_parse_arguments(ARG "" "" "ELSEWHERE" ${ARGN})
    foreach(folder ${ARG_UNPARSED_ARGUMENTS})
        add_subdirectory(${folder})
    endforeach()
    file(GLOB entries LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
    foreach(entry ${entries})
        get_filename_component(name ${entry} NAME)
        if(IS_DIRECTORY ${entry} AND EXISTS ${entry}/CMakeLists.txt
           AND NOT name IN_LIST ARG_UNPARSED_ARGUMENTS AND NOT name IN_LIST ARG_ELSEWHERE)
            message(FATAL_ERROR "${entry} has a CMakeLists.txt but is not listed in ${CMAKE_CURRENT_LIST_FILE}")
        endif()
    endforeach()
endfunction()

# tavri_add_translations(<target> <folder>)
# Builds every translations/tavri_<language>.ts into tavri_<language>.qm in
# <folder> before <target>: the program loads the chosen language's file from
# its own folder, and tests that switch languages need the files beside them.
function(tavri_add_translations target folder)
    get_target_property(qmake Qt5::qmake IMPORTED_LOCATION)
    get_filename_component(qtbin ${qmake} DIRECTORY)
    find_program(TAVRI_LRELEASE NAMES lrelease HINTS ${qtbin} NO_DEFAULT_PATH)
    if(NOT TAVRI_LRELEASE)
        find_program(TAVRI_LRELEASE NAMES lrelease-qt5 lrelease REQUIRED)
    endif()
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/translations/tavri_*.ts)
    set(outputs)
    foreach(source ${sources})
        get_filename_component(stem ${source} NAME_WE)
        set(output ${folder}/${stem}.qm)
        add_custom_command(OUTPUT ${output}
            COMMAND ${TAVRI_LRELEASE} -silent ${source} -qm ${output}
            DEPENDS ${source} VERBATIM)
        list(APPEND outputs ${output})
    endforeach()
    add_custom_target(${target}_translations DEPENDS ${outputs})
    add_dependencies(${target} ${target}_translations)
    set(TAVRI_TRANSLATION_FILES ${outputs} PARENT_SCOPE)
endfunction()
