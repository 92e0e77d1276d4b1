# The unpack of an update package and the swap with "app", on JUCE's core
# alone, so that the fuzz tree builds the same code the program runs.
add_library(flint_unpack STATIC
    ${CMAKE_CURRENT_LIST_DIR}/PackageInstall.cpp ${CMAKE_CURRENT_LIST_DIR}/PackageInstall.h
    ${CMAKE_CURRENT_LIST_DIR}/PackageUnpacker.cpp ${CMAKE_CURRENT_LIST_DIR}/PackageUnpacker.h
    ${CMAKE_CURRENT_LIST_DIR}/ZipDirectory.cpp ${CMAKE_CURRENT_LIST_DIR}/ZipDirectory.h)
target_include_directories(flint_unpack PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(flint_unpack PUBLIC flint_new_file flint_utf8 juce_modules ZLIB::ZLIB)
flint_warnings(flint_unpack)
