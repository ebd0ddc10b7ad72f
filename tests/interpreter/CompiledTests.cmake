# The compiled form of expressions: its own tests, and the comparison with the recursive
# reference evaluator in reference/. Included from this folder's CMakeLists.txt.
add_subdirectory(reference)

add_executable(ziffa_compiled_tests
    TestMain.cpp
    Support.cpp
    CompiledTest.cpp
    CompiledCodeTest.cpp
    CompiledDifferentialTest.cpp
    CompiledPowerTest.cpp
)
target_include_directories(ziffa_compiled_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(ziffa_compiled_tests PRIVATE ziffa_reference_evaluator GTest::gtest)
# The sanitizer build runs the comparisons on fewer expressions and powers; the Release build on
# 200,000 expressions and 8,000,000 operands for each exponent of the quick "^".
if(ZIFFA_SANITIZE)
    target_compile_definitions(ziffa_compiled_tests PRIVATE ZIFFA_DIFFERENTIAL_COUNT=40000
                                                            ZIFFA_POWER_COUNT=1000000)
endif()
add_test(NAME compiled COMMAND ziffa_compiled_tests --gtest_filter=-CompiledPower.*)
set_tests_properties(compiled PROPERTIES ENVIRONMENT "LC_ALL=pl_PL.UTF-8")
add_test(NAME compiled_power COMMAND ziffa_compiled_tests --gtest_filter=CompiledPower.*)
