# The MPI build writes what the default build writes, for 1 to 3 processes
# of 1 and 2 threads; compared with the default build's program in
# ZIR_SERIAL_EXE (by default that of build/ in the source folder). Included
# in an MPI build with or without the other tests.
set(ZIR_SERIAL_EXE ${PROJECT_SOURCE_DIR}/build/ZIRidev CACHE FILEPATH
    "Program of the default build that the MPI build is compared with")
find_program(ZIR_MPIRUN NAMES mpirun mpiexec REQUIRED)
add_test(NAME mpi_identity
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/mpi_identity.sh ${ZIR_MPIRUN}
                 $<TARGET_FILE:ZIRidev> ${ZIR_SERIAL_EXE} ${PROJECT_SOURCE_DIR}
                 ${PROJECT_BINARY_DIR}/mpi_identity)
set_tests_properties(mpi_identity PROPERTIES RUN_SERIAL TRUE TIMEOUT 1200)
