# The layers without Qt, shared by the program's build, the Windows host tests (tests/win) and the
# fuzz targets (tests/fuzz): include() it after project(... VERSION ${OSTREL_VERSION}).
#   ostrel_base     what every layer shares: the version and name, the control names, the errors,
#                   and the host interfaces (host/*.h) that the layers above program against
#   ostrel_logic    navigation/ and the start-up, switch and filter logic of app/: plain C++
#   ostrel_host_win the Windows implementations of the host interfaces (Windows only)
include_guard(DIRECTORY)
get_filename_component(ostrel_src ${CMAKE_CURRENT_LIST_DIR}/../src ABSOLUTE)
include(${CMAKE_CURRENT_LIST_DIR}/Addresses.cmake)

set(ostrel_generated ${CMAKE_CURRENT_BINARY_DIR}/generated)
configure_file(${ostrel_src}/navigation/addresses.h.in ${ostrel_generated}/navigation/addresses.h @ONLY)
configure_file(${ostrel_src}/base/version.h.in ${ostrel_generated}/base/version.h @ONLY)

add_library(ostrel_base INTERFACE)
target_include_directories(ostrel_base INTERFACE ${ostrel_src} ${ostrel_generated})
target_compile_features(ostrel_base INTERFACE cxx_std_20)

add_library(ostrel_logic STATIC
    ${ostrel_src}/app/browseremulation.cpp
    ${ostrel_src}/app/errorbox.cpp
    ${ostrel_src}/app/messagefilter.cpp
    ${ostrel_src}/app/startup.cpp
    ${ostrel_src}/app/supportfacts.cpp
    ${ostrel_src}/app/switches.cpp
    ${ostrel_src}/navigation/destinations.cpp
    ${ostrel_src}/navigation/formencode.cpp
    ${ostrel_src}/navigation/ftphandoff.cpp
    ${ostrel_src}/navigation/portal.cpp
)
target_link_libraries(ostrel_logic PUBLIC ostrel_base)

if(WIN32)
    add_library(ostrel_host_win STATIC
        ${ostrel_src}/host/win/keyboard_win.cpp
        ${ostrel_src}/host/win/winprocess.cpp
        ${ostrel_src}/host/win/wininetprobe.cpp
        ${ostrel_src}/host/win/winregistry.cpp
        ${ostrel_src}/host/win/winshell.cpp
    )
    target_link_libraries(ostrel_host_win PUBLIC ostrel_base advapi32 wininet shell32 shlwapi version)
endif()
