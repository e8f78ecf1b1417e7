# Installs the build into a staging prefix, then configures, builds and runs a consumer project
# outside the tree that takes the module through find_package(DownloadApp); a consumer on the other
# Qt major must be told that the module was built for this one.
#   cmake -DBUILD_DIR=... -DCLIENT_DIR=<client folder below the prefix> -DCONSUMER_DIR=... -DWORK=...
#         -DQT_MAJOR=<5|6> [-DCONSUMER_FLAGS=...] -P InstalledConsumer.cmake
cmake_policy(VERSION 3.19)
function(run what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${what} failed (${rc}):\n${out}")
    endif()
    message(STATUS "${what}: ok")
    set(last_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK})
run("install module" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK}/stage --component module)
# The module alone, and beside it the client's libraries and nothing else, as a real client has
# them: whatever the module needs at run time must come with it.
run("install platform" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK}/client --component platform)
file(GLOB client_libraries ${WORK}/client/${CLIENT_DIR}/*.so)
file(COPY ${client_libraries} DESTINATION ${WORK}/stage/${CLIENT_DIR})
run("configure the consumer" ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK}/consumer
    -DCMAKE_PREFIX_PATH=${WORK}/stage -DQT_MAJOR=${QT_MAJOR} "-DCMAKE_CXX_FLAGS=${CONSUMER_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${CONSUMER_FLAGS}")
run("build the consumer" ${CMAKE_COMMAND} --build ${WORK}/consumer)
run("run the consumer" ${WORK}/consumer/consumer)
message(STATUS "${last_output}")

# The same package for a client on the other major: found, turned away, and the reason given.
if(QT_MAJOR EQUAL 5)
    set(other_major 6)
else()
    set(other_major 5)
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK}/consumer-qt${other_major}
    -DCMAKE_PREFIX_PATH=${WORK}/stage -DQT_MAJOR=${other_major}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(rc EQUAL 0 OR NOT out MATCHES "built for Qt ${QT_MAJOR} but this project uses Qt ${other_major}")
    message(FATAL_ERROR "a Qt ${other_major} consumer was not told the module is built for Qt ${QT_MAJOR} (${rc}):\n${out}")
endif()
message(STATUS "a Qt ${other_major} consumer is told: built for Qt ${QT_MAJOR}")
