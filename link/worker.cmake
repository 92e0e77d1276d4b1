# The worker: message handling, command exchange, transfer and state machine.
add_library(flint_worker STATIC
    MyCom.cpp CommandExchange.cpp FirmwareTransfer.cpp WorkerStateMachine.cpp FrameworkDialogs.cpp)
target_include_directories(flint_worker PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(flint_worker PUBLIC flint_messages flint_codec flint_serial flint_settings)
flint_warnings(flint_worker)
