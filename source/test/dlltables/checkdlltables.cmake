# Checks what the loader sees of digestry.dll, as built or as shipped (stripped, with its symbols in
# a file of their own), against what a shell extension may bring into Explorer:
#   - exactly the four server functions exported;
#   - only the functions of allowedimports.txt imported, never those of a process-wide exception
#     handler or of thread control, which security software reads as the mark of code injection
#     (comctl32 is loaded at run time under the extension's own activation context);
#   - address-space randomisation with 64-bit entropy and no-execute data (0x0160), no section both
#     writable and executable;
#   - a GUI DLL for Windows 7 (6.1) or later;
#   - the stack protector linked in.
#
#   cmake -DOBJDUMP=<objdump> -DDLL=<dll> -DSYMBOLS=<the DLL, or its debug file> -P checkdlltables.cmake
cmake_minimum_required(VERSION 3.25)
set(EXPORTS DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer)
set(FORBIDDEN_FUNCTIONS AddVectoredExceptionHandler SuspendThread GetThreadContext SetThreadContext
    ResumeThread OpenProcess SetProcessAffinityMask)

set(failures "")
macro(fail)
    string(APPEND failures "\n  " ${ARGN})
endmacro()

execute_process(COMMAND ${OBJDUMP} -p -h ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
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
string(JOIN ", " exported_text ${exported})
if(NOT exported STREQUAL EXPORTS OR NOT address_count EQUAL expected_count)
    string(JOIN ", " expected_text ${EXPORTS})
    fail("exports ${exported_text} (${address_count} addresses), expected ${expected_text}")
endif()

# Each imported DLL's block: "DLL Name: <dll>", a heading, then "<address> <hint> <name>" lines.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/allowedimports.txt allowed REGEX "^[^#]")
string(REGEX MATCHALL "DLL Name: [^\n]+\n[^\n]+\n(\t[0-9a-f]+\t[^\n]+\n)*" blocks "${dump}")
set(imports "")
foreach(block IN LISTS blocks)
    string(REGEX MATCH "^DLL Name: ([^\n]+)" _ "${block}")
    string(TOLOWER "${CMAKE_MATCH_1}" import_dll)
    string(REGEX MATCHALL "\t[0-9a-f]+\t *[0-9]+ +[^\n]+" functions "${block}")
    foreach(function IN LISTS functions)
        string(REGEX REPLACE "^\t[0-9a-f]+\t *[0-9]+ +" "" function "${function}")
        list(APPEND imports "${import_dll} ${function}")
        if(function IN_LIST FORBIDDEN_FUNCTIONS)
            fail("imports ${function}, which no shell extension may bring into Explorer")
        elseif(NOT "${import_dll} ${function}" IN_LIST allowed)
            fail("imports ${import_dll} ${function}, which is not in allowedimports.txt")
        endif()
    endforeach()
endforeach()
list(LENGTH imports import_count)
if(import_count EQUAL 0)
    fail("no imported function found")
endif()

string(REGEX MATCH "\nDllCharacteristics[ \t]+([0-9a-fA-F]+)" _ "${dump}")
set(characteristics 0x${CMAKE_MATCH_1})
math(EXPR protections "${characteristics} & 0x0160" OUTPUT_FORMAT HEXADECIMAL)
if(NOT protections EQUAL 0x160)
    fail("DllCharacteristics ${characteristics} lack some of DYNAMIC_BASE, HIGH_ENTROPY_VA, NX_COMPAT (0x0160)")
endif()
# objdump's section flags: CODE for executable, READONLY unless writable.
string(REGEX MATCHALL "\n +[0-9]+ [^ ]+ [^\n]+\n +[^\n]+" sections "${dump}")
foreach(section IN LISTS sections)
    if(section MATCHES "CODE" AND NOT section MATCHES "READONLY")
        string(REGEX MATCH "^\n +[0-9]+ ([^ ]+)" _ "${section}")
        fail("section ${CMAKE_MATCH_1} is both writable and executable")
    endif()
endforeach()

string(REGEX MATCH "\nSubsystem[ \t]+([0-9a-fA-F]+)" _ "${dump}")
set(subsystem ${CMAKE_MATCH_1})
string(REGEX MATCH "\nMajorSubsystemVersion[ \t]+([0-9]+)\nMinorSubsystemVersion[ \t]+([0-9]+)" _ "${dump}")
set(version ${CMAKE_MATCH_1}.${CMAKE_MATCH_2})
if(NOT subsystem EQUAL 2 OR version VERSION_LESS 6.1)
    fail("subsystem ${subsystem}, version ${version}: expected the GUI subsystem (2), version 6.1 or later")
endif()

execute_process(COMMAND ${OBJDUMP} -t ${SYMBOLS} OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} cannot read the symbols of ${SYMBOLS}")
endif()
foreach(symbol IN ITEMS __stack_chk_fail __stack_chk_guard)
    if(NOT symbols MATCHES " ${symbol}\n")
        fail("${SYMBOLS} has no ${symbol}: the stack protector is not linked in")
    endif()
endforeach()

if(failures)
    message(FATAL_ERROR "${DLL}:${failures}")
endif()
message(STATUS "${DLL}: exports ${exported_text}; ${import_count} imported functions, all allowed; "
    "DllCharacteristics ${characteristics}; subsystem ${subsystem} ${version}; stack protector linked in")
