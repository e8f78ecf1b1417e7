# The module's translations. The Qt Linguist sources DownloadApp_<language>.ts sit next to this
# file; the build compiles them and embeds the results in the module as the resources
# :/DownloadApp/translations/DownloadApp_<language>.qm, which the window loads for the current
# locale (English when there is none for it).
#
#   dc_embed_translations(<target>)   compiles the .ts files and adds the resource to <target>
#   target update_translations        refreshes the .ts files from the module's sources with
#                                     lupdate: run it after adding or changing a translatable text,
#                                     then translate what it marks unfinished (Qt Linguist)

set(DC_TRANSLATIONS_DIR ${CMAKE_CURRENT_LIST_DIR})
set(DC_TRANSLATION_FILES
    ${DC_TRANSLATIONS_DIR}/DownloadApp_en.ts
    ${DC_TRANSLATIONS_DIR}/DownloadApp_de.ts)
# Every folder of the module whose sources or forms hold translatable texts.
set(DC_TRANSLATED_SOURCES
    ${CMAKE_SOURCE_DIR}/TaskCore
    ${CMAKE_SOURCE_DIR}/DownloadWidget
    ${CMAKE_SOURCE_DIR}/plugin
    ${CMAKE_SOURCE_DIR}/WebDownloadCenter)

function(dc_embed_translations target)
    set(qm_dir ${CMAKE_CURRENT_BINARY_DIR}/translations)
    set_source_files_properties(${DC_TRANSLATION_FILES} PROPERTIES OUTPUT_LOCATION ${qm_dir})
    qt_add_translation(qm_files ${DC_TRANSLATION_FILES} OPTIONS -silent)

    # The resource file lists the compiled files by name; it sits next to them.
    set(DC_QRC_ENTRIES "")
    foreach(qm ${qm_files})
        get_filename_component(qm_name ${qm} NAME)
        string(APPEND DC_QRC_ENTRIES "        <file>${qm_name}</file>\n")
    endforeach()
    configure_file(${DC_TRANSLATIONS_DIR}/DownloadAppTranslations.qrc.in
        ${qm_dir}/DownloadAppTranslations.qrc @ONLY)
    qt_add_resources(qrc_sources ${qm_dir}/DownloadAppTranslations.qrc)
    target_sources(${target} PRIVATE ${DC_TRANSLATION_FILES} ${qrc_sources})
endfunction()

# How lupdate reads the sources; a test checks with the same arguments that the .ts files are in step.
set(DC_LUPDATE_ARGUMENTS -locations none -no-obsolete ${DC_TRANSLATED_SOURCES})
set_property(GLOBAL PROPERTY DC_LUPDATE_ARGUMENTS ${DC_LUPDATE_ARGUMENTS})
set_property(GLOBAL PROPERTY DC_TRANSLATION_FILES ${DC_TRANSLATION_FILES})

if(NOT TARGET update_translations)
    add_custom_target(update_translations
        COMMAND Qt::lupdate ${DC_LUPDATE_ARGUMENTS} -ts ${DC_TRANSLATION_FILES}
        WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
        COMMENT "Refreshing translations/*.ts from the module's sources"
        VERBATIM)
endif()
