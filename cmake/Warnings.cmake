# The project's warnings, errors in every build of its own code (product, tests, helpers), with GCC
# and with Clang. GoogleTest keeps its own flags, and the foundation's lists set none, so that the
# foundation still builds with any project's defaults.
set(DIGESTRY_WARNINGS
    -Wall
    -Wextra
    -Wshadow
    -Wold-style-cast
    -Wcast-qual
    -Wformat=2
    -Woverloaded-virtual
    -Wsuggest-override
    -Wextra-semi
)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    list(APPEND DIGESTRY_WARNINGS -Wduplicated-cond -Wduplicated-branches -Wlogical-op -Wredundant-decls)
elseif(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    # GCC's -Wnon-virtual-dtor also flags every class derived from the platform's COM interfaces,
    # whose destructors are not virtual by design (COM objects are released, never deleted through
    # an interface); Clang's looks at the class itself, and the Clang build checks every file.
    list(APPEND DIGESTRY_WARNINGS
        -Wnon-virtual-dtor
        -Wshadow-all
        -Wunreachable-code
        -Wimplicit-fallthrough
        -Wcomma
        -Wconditional-uninitialized
        -Wloop-analysis
        -Wunused-exception-parameter
    )
endif()

# Gives every target defined in DIRECTORY and in its subdirectories inside the project the warnings,
# as errors.
function(digestry_apply_warnings directory)
    get_property(targets DIRECTORY "${directory}" PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
            target_compile_options(${target} PRIVATE "$<$<COMPILE_LANGUAGE:CXX>:${DIGESTRY_WARNINGS}>")
            set_target_properties(${target} PROPERTIES COMPILE_WARNING_AS_ERROR ON)
        endif()
    endforeach()
    get_property(subdirectories DIRECTORY "${directory}" PROPERTY SUBDIRECTORIES)
    foreach(subdirectory IN LISTS subdirectories)
        cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${subdirectory}" NORMALIZE inside)
        if(inside)
            digestry_apply_warnings("${subdirectory}")
        endif()
    endforeach()
endfunction()
