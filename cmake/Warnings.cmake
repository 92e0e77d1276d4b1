# Our own code builds with warnings as errors; JUCE's headers come in as system headers.
function(flint_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Werror)
endfunction()
