# add_labelled_test(<name> <kind> [RUNS_ALONE] COMMAND <command> [<argument>...])
#
# Adds a test under one of the labels by which the test command picks what to run:
#   unit        a test executable or a check of one build's outputs, in the build's own Wine prefix;
#   end-to-end  the product as a user meets it: registered, in the shell's dialogs, under another
#               Windows version;
#   packaging   the release's packages, built, installed and removed.
# RUNS_ALONE adds the label runs_alone: the test takes the build folder's lock and starts its own
# display and Wine, as a user's run does, so it runs only once no other test holds them.
function(add_labelled_test name kind)
    cmake_parse_arguments(PARSE_ARGV 2 test "RUNS_ALONE" "" "COMMAND")
    if(NOT kind MATCHES "^(unit|end-to-end|packaging)$")
        message(FATAL_ERROR "Test ${name}: the kind is unit, end-to-end or packaging, not ${kind}")
    endif()
    if(NOT test_COMMAND OR test_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "Test ${name}: add_labelled_test(<name> <kind> [RUNS_ALONE] COMMAND ...)")
    endif()
    set(labels ${kind})
    if(test_RUNS_ALONE)
        list(APPEND labels runs_alone)
    endif()
    add_test(NAME ${name} COMMAND ${test_COMMAND})
    set_tests_properties(${name} PROPERTIES LABELS "${labels}")
endfunction()
