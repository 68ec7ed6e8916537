# Version information, the icon and the application manifest of a Windows program:
#   brandel_windows_resources(TARGET FILE_NAME DESCRIPTION)
# The version is the project's, the one the window's About box and --version show; the icon is
# packaging/windows/brandel.ico (rendered from src/gui/brandel.svg by brandel-render-icon).
function(brandel_windows_resources target file_name description)
    if(NOT WIN32)
        return()
    endif()
    set(BRANDEL_RC_FILE ${file_name})
    set(BRANDEL_RC_DESCRIPTION ${description})
    get_filename_component(BRANDEL_RC_NAME ${file_name} NAME_WE)
    set(BRANDEL_ICO ${PROJECT_SOURCE_DIR}/packaging/windows/brandel.ico)
    set(BRANDEL_MANIFEST ${PROJECT_SOURCE_DIR}/packaging/windows/brandel.manifest)
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${BRANDEL_RC_NAME}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/resources.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${BRANDEL_ICO};${BRANDEL_MANIFEST}")
    if(MSVC)
        # The linker merges the manifest into the one it writes.
        target_sources(${target} PRIVATE ${BRANDEL_MANIFEST})
    else()
        set_source_files_properties(${rc} PROPERTIES COMPILE_DEFINITIONS BRANDEL_RC_MANIFEST)
    endif()
endfunction()
