# add_old_windows_refusal_test(<test name> <DLL target> [<line pattern>...])
#
# Adds an end-to-end test that shows the DLL refuses to load on a Windows older than 7: it loads in
# the build's own prefix, and fails to load in a second prefix of the build folder whose Windows
# version is Vista. Each pattern (a bash extended regular expression) must match one of the debugger
# lines the refused load wrote, in the order given. The Vista prefix is created once per build folder.
function(add_old_windows_refusal_test name dll_target)
    add_labelled_test(${name} end-to-end
        COMMAND bash ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../test/old-windows-refusal.sh
            ${CMAKE_BINARY_DIR} $<TARGET_FILE:tarn_modulehost> $<TARGET_FILE:${dll_target}> ${ARGN})
endfunction()
