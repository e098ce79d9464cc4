# zir_module(name dep...): the library of one folder under src/, made of every
# .cpp file in it, with src/ as include root.
function(zir_module name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(zir_${name} STATIC ${sources})
    target_include_directories(zir_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(zir_${name} PUBLIC ${ARGN})
  else()
    add_library(zir_${name} INTERFACE)
    target_include_directories(zir_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(zir_${name} INTERFACE ${ARGN})
  endif()
endfunction()

# zir_test(module dep...): one test executable per module, made of every
# *_test.cpp in tests/<module>/, registered with CTest.
function(zir_test module)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${module}/*_test.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${module}_test ${sources})
  target_link_libraries(${module}_test PRIVATE ${ARGN} zir_test_support GTest::gtest_main)
  gtest_discover_tests(${module}_test DISCOVERY_MODE PRE_TEST
                       WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                       PROPERTIES ENVIRONMENT "ZIR_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# zir_python_tests(prefix module group...): one CTest test per test class
# (group) of the Python module <module>.py in this folder, run with the
# distribution's Python; ZIR_EXE names the model program for the tests that
# read what it writes.
function(zir_python_tests prefix module)
  foreach(group ${ARGN})
    add_test(NAME ${prefix}_${group}
             COMMAND /usr/bin/python3 -m unittest -v ${module}.${group}
             WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
    set_tests_properties(${prefix}_${group} PROPERTIES
      ENVIRONMENT "ZIR_EXE=$<TARGET_FILE:ZIRidev>;MPLBACKEND=Agg;PYTHONDONTWRITEBYTECODE=1")
  endforeach()
endfunction()
