# The worker's serial port, over the platform layer.
add_library(flint_serial STATIC ${CMAKE_CURRENT_LIST_DIR}/Rs232.cpp ${CMAKE_CURRENT_LIST_DIR}/Rs232.h)
target_include_directories(flint_serial PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(flint_serial PUBLIC juce_modules flint_platform)
flint_warnings(flint_serial)
