# Checks what a DLL shows the loader: it exports exactly the named functions, and imports only DLLs of
# the system (those in the Wine prefix's system32 folder), none of the forbidden ones.
#
#   cmake -DOBJDUMP=<objdump> -DDLL=<dll> -DSYSTEM_FOLDER=<system32> -DEXPORTS=<name,...>
#         -DFORBIDDEN_IMPORTS=<dll,...> -P checkdlltables.cmake
cmake_minimum_required(VERSION 3.25)
string(REPLACE "," ";" EXPORTS "${EXPORTS}")
string(REPLACE "," ";" FORBIDDEN_IMPORTS "${FORBIDDEN_IMPORTS}")

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} cannot read ${DLL}")
endif()

# Named exports are listed after this heading, one "[ index] name" a line; an export by ordinal
# alone would still be listed among the addresses, one "+base[ ordinal] address" each (the slots
# that export nothing, such as the ordinal 0 that lld leaves empty, are not).
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)*" name_table "${dump}")
string(REGEX MATCHALL "[[] *[0-9]+[]] [^\n]+" exported "${name_table}")
list(TRANSFORM exported REPLACE "^[[] *[0-9]+[]] " "")
string(REGEX MATCHALL "[+]base[[] *[0-9]+[]] [0-9a-fA-F]+ " addresses "${dump}")
list(LENGTH addresses address_count)
list(LENGTH EXPORTS expected_count)
if(NOT exported STREQUAL EXPORTS OR NOT address_count EQUAL expected_count)
    message(FATAL_ERROR "exports ${exported} (${address_count} addresses), expected ${EXPORTS}")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
list(TRANSFORM imports REPLACE "^DLL Name: " "")
list(TRANSFORM imports TOLOWER)
list(TRANSFORM FORBIDDEN_IMPORTS TOLOWER)
foreach(import IN LISTS imports)
    if(NOT EXISTS "${SYSTEM_FOLDER}/${import}" OR import IN_LIST FORBIDDEN_IMPORTS)
        message(FATAL_ERROR "imports ${import}, which is not a system DLL it may bind at load time")
    endif()
endforeach()
message(STATUS "exports: ${exported}; imports: ${imports}")
