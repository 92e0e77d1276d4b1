# The JUCE modules we use, compiled once into one library that the program,
# every test binary and the tools link. JUCE's own warnings are not ours.
# On Linux it is a shared library by default: linked statically, JUCE made up
# nearly all of each of the thirty executables, and a test build needed
# gigabytes of disk.
set(FLINT_JUCE_MODULES_DIR "/usr/share/juce/modules" CACHE PATH "JUCE module tree")

if(NOT EXISTS "${FLINT_JUCE_MODULES_DIR}/juce_core/juce_core.h")
    message(FATAL_ERROR "JUCE modules not found in ${FLINT_JUCE_MODULES_DIR}; run tools/setup")
endif()

if(NOT WIN32)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(FREETYPE2 REQUIRED IMPORTED_TARGET freetype2)
endif()
find_package(ZLIB REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(Threads REQUIRED)

# HTTP: on Linux through libcurl, so that https works as it does with the
# system's HTTP stack on Windows.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    find_package(CURL REQUIRED)
    set(FLINT_JUCE_USE_CURL 1)
else()
    set(FLINT_JUCE_USE_CURL 0)
endif()

set(_flint_juce_modules juce_core juce_events juce_data_structures juce_graphics juce_gui_basics)

if(WIN32)
    set(_flint_juce_type STATIC)
else()
    option(FLINT_JUCE_SHARED "Build JUCE's modules as a shared library" ON)
    if(FLINT_JUCE_SHARED)
        set(_flint_juce_type SHARED)
    else()
        set(_flint_juce_type STATIC)
    endif()
endif()

add_library(juce_modules ${_flint_juce_type})
foreach(_m IN LISTS _flint_juce_modules)
    target_sources(juce_modules PRIVATE "${FLINT_JUCE_MODULES_DIR}/${_m}/${_m}.cpp")
    target_compile_definitions(juce_modules PUBLIC JUCE_MODULE_AVAILABLE_${_m}=1)
endforeach()

target_include_directories(juce_modules SYSTEM PUBLIC "${FLINT_JUCE_MODULES_DIR}")
target_compile_definitions(juce_modules PUBLIC
    JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1
    JUCE_STANDALONE_APPLICATION=1
    JUCE_MODAL_LOOPS_PERMITTED=1
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=${FLINT_JUCE_USE_CURL}
    JUCE_STRICT_REFCOUNTEDPOINTER=1
    $<IF:$<CONFIG:Debug>,DEBUG=1 _DEBUG=1,NDEBUG=1>)
target_compile_options(juce_modules PRIVATE -w)

if(WIN32)
    # mingw: GDI draws the text; the system libraries JUCE calls into, linked statically.
    target_compile_definitions(juce_modules PUBLIC JUCE_USE_DIRECTWRITE=0)
    target_compile_options(juce_modules PRIVATE -Wa,-mbig-obj)
    target_link_libraries(juce_modules PUBLIC
        PNG::PNG JPEG::JPEG ZLIB::ZLIB Threads::Threads
        uuid wsock32 wininet version ole32 ws2_32 oleaut32 imm32 comdlg32 shlwapi rpcrt4 winmm dxgi)
else()
    target_link_libraries(juce_modules PUBLIC
        PkgConfig::FREETYPE2 PNG::PNG JPEG::JPEG ZLIB::ZLIB Threads::Threads ${CMAKE_DL_LIBS} rt)
endif()
if(FLINT_JUCE_USE_CURL)
    target_link_libraries(juce_modules PUBLIC CURL::libcurl)
endif()
