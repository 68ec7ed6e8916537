# Copies the DLLs a Windows program imports from the compiler's folders beside it. DLLs that
# every Windows has (KERNEL32, msvcrt, ...) are not found there and stay out.
# In: BRANDEL_EXE, BRANDEL_OBJDUMP, BRANDEL_DLL_DIRS (a list), BRANDEL_DEST.
execute_process(COMMAND ${BRANDEL_OBJDUMP} -p ${BRANDEL_EXE} OUTPUT_VARIABLE imports
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot read the imports of ${BRANDEL_EXE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" names "${imports}")
foreach(line IN LISTS names)
    string(REPLACE "DLL Name: " "" dll "${line}")
    string(STRIP "${dll}" dll)
    foreach(dir IN LISTS BRANDEL_DLL_DIRS)
        file(GLOB_RECURSE found "${dir}/${dll}")
        if(found)
            list(GET found 0 found)
            message(STATUS "Installing runtime DLL ${found}")
            file(COPY ${found} DESTINATION ${BRANDEL_DEST})
            break()
        endif()
    endforeach()
endforeach()
