# ks_add_test(<name> SOURCES <files...> LIBS <targets...> [QT] [TIMEOUT <s>] [LABELS <l...>]
#             [ARGS <arguments...>])
# One GoogleTest executable registered with CTest, with a fixed environment: C locale, a private
# runtime folder, and the offscreen Qt platform for suites that touch the UI. Every test links the
# shared helpers (tests/support). A library the suite names that is not built stops the
# configuration, so that no suite drops out of the run unnoticed.
function(ks_add_test name)
  cmake_parse_arguments(T "QT" "TIMEOUT" "SOURCES;LIBS;LABELS;ARGS" ${ARGN})
  foreach(lib ${T_LIBS})
    if(NOT TARGET ${lib})
      message(FATAL_ERROR "${name} needs ${lib}, which this configuration does not build")
    endif()
  endforeach()
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_LIBS} ks_test_support GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name} ${T_ARGS})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(env "LC_ALL=C.UTF-8" "XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/xdg-runtime"
          "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  if(T_QT)
    # Qt's own libraries keep caches alive until exit; leak checks there only report Qt.
    list(APPEND env "QT_QPA_PLATFORM=offscreen" "ASAN_OPTIONS=detect_leaks=0")
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}"
                                          LABELS "${T_LABELS}")
endfunction()

file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/xdg-runtime)
file(CHMOD ${CMAKE_BINARY_DIR}/xdg-runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
