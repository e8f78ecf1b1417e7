# Fails when translations/*.ts are behind the module's sources: lupdate, run over copies exactly
# as the update_translations target runs it, must leave every file as it is. A text added or
# changed in the code without running that target would otherwise ship untranslated.
#   cmake -DLUPDATE=<lupdate> -DARGS=<a|b|...> -DTS_FILES=<x.ts|y.ts> -DWORK=<dir> -P TranslationsInStep.cmake
string(REPLACE "|" ";" args "${ARGS}")
string(REPLACE "|" ";" ts_files "${TS_FILES}")
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
foreach(ts ${ts_files})
    get_filename_component(name "${ts}" NAME)
    file(COPY "${ts}" DESTINATION "${WORK}")
    execute_process(COMMAND "${LUPDATE}" -silent ${args} -ts "${WORK}/${name}" RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "lupdate failed on ${name}")
    endif()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${ts}" "${WORK}/${name}" RESULT_VARIABLE differs)
    if(differs)
        message(FATAL_ERROR "translations/${name} is behind the sources: build the update_translations target "
                            "and translate (see the difference: diff ${ts} ${WORK}/${name})")
    endif()
endforeach()
message(STATUS "translations in step with the sources")
