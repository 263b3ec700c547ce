# One test executable per subsystem keeps rebuilds small on a two-core machine.

function(corvane_core_test_suite sub)
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${sub}/*.cpp)
    if(NOT sources)
        return()
    endif()
    set(target corvane_${sub}_tests)
    add_executable(${target} ${sources})
    target_link_libraries(${target} PRIVATE corvane_core GTest::gtest GTest::gtest_main)
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_compile_definitions(${target} PRIVATE CORVANE_TEST_DATA="${CORVANE_TEST_DATA}")
    add_test(NAME ${target} COMMAND ${target} WORKING_DIRECTORY ${PROJECT_BINARY_DIR})
    set_tests_properties(${target} PROPERTIES LABELS core TIMEOUT 600)
    add_dependencies(core_tests ${target})
endfunction()

set(CORVANE_UI_TEST_ENV
    QT_QPA_PLATFORM=offscreen
    QTWEBENGINE_DISABLE_SANDBOX=1
    QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu)

function(corvane_ui_test_suite sub)
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${sub}/ui/*.cpp)
    if(NOT sources)
        return()
    endif()
    set(target corvane_${sub}_ui_tests)
    add_executable(${target} ${sources})
    # Window tests link the windows; the platform seam's own tests link only the seam.
    if(sub STREQUAL "platform")
        target_link_libraries(${target} PRIVATE corvane_test_support)
    else()
        target_link_libraries(${target} PRIVATE corvane_test_support corvane_windows)
    endif()
    add_test(NAME ${target} COMMAND ${target} WORKING_DIRECTORY ${PROJECT_BINARY_DIR})
    set_tests_properties(${target} PROPERTIES LABELS ui TIMEOUT 600
                         ENVIRONMENT "${CORVANE_UI_TEST_ENV}")
    add_dependencies(ui_tests ${target})
endfunction()

function(corvane_peer_test src)
    get_filename_component(name ${src} NAME_WE)
    set(target peer_${name})
    add_executable(${target} ${src})
    target_link_libraries(${target} PRIVATE corvane_test_support corvane_windows)
    add_test(NAME ${target} COMMAND ${target} WORKING_DIRECTORY ${PROJECT_BINARY_DIR})
    set(labels peer)
    if(name MATCHES "Smtp")
        list(APPEND labels smtp)
    endif()
    if(name MATCHES "Tls")
        list(APPEND labels tls)
    endif()
    if(name MATCHES "Auth")
        list(APPEND labels auth)
    endif()
    set_tests_properties(${target} PROPERTIES LABELS "${labels}" TIMEOUT 900
                         ENVIRONMENT "${CORVANE_UI_TEST_ENV}")
endfunction()

# The keyring test runs inside a private D-Bus session with its own keyring, and once more
# with no session bus, where there is no keyring.
function(corvane_keyring_test)
    set(target corvane_keyring_tests)
    add_executable(${target} ${PROJECT_SOURCE_DIR}/tests/platform/keyring/KeyringTest.cpp)
    target_link_libraries(${target} PRIVATE corvane_test_support)
    add_test(NAME ${target}
             COMMAND ${PROJECT_SOURCE_DIR}/tests/platform/keyring/with-keyring $<TARGET_FILE:${target}>)
    add_test(NAME ${target}_none COMMAND ${target})
    set_tests_properties(${target} PROPERTIES LABELS "ui;keyring" TIMEOUT 120)
    set_tests_properties(${target}_none PROPERTIES LABELS "ui;keyring" TIMEOUT 120
                         ENVIRONMENT "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent")
endfunction()
