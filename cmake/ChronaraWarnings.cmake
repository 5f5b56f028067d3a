# chronara_warnings(target): the project's warning set, errors when CHRONARA_WERROR is on.
function(chronara_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${CHRONARA_WERROR}>:/WX>)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic
            $<$<BOOL:${CHRONARA_WERROR}>:-Werror>)
    endif()
endfunction()
