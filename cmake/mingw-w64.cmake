# Cross-builds the Windows programs with Debian's MinGW-w64 against the
# unpacked Windows SDK (Qt, MariaDB Connector/C, uchardet):
#   cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DTABULON_WINDOWS_SDK=/path/to/windows-sdk
# scripts/package-windows unpacks the SDK into build/windows-sdk, the default.
if(NOT TABULON_WINDOWS_SDK)
    if(DEFINED ENV{TABULON_WINDOWS_SDK})
        set(TABULON_WINDOWS_SDK "$ENV{TABULON_WINDOWS_SDK}")
    else()
        get_filename_component(TABULON_WINDOWS_SDK "${CMAKE_CURRENT_LIST_DIR}/../build/windows-sdk" ABSOLUTE)
    endif()
endif()
if(NOT EXISTS "${TABULON_WINDOWS_SDK}/lib/cmake/Qt6/qt.toolchain.cmake")
    message(FATAL_ERROR "No Windows SDK in ${TABULON_WINDOWS_SDK}: run scripts/package-windows, "
                        "or set TABULON_WINDOWS_SDK to an unpacked windows-sdk folder.")
endif()
# Try-compiles read the toolchain again; they need the same SDK.
set(ENV{TABULON_WINDOWS_SDK} "${TABULON_WINDOWS_SDK}")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TABULON_WINDOWS_SDK)

# moc, uic and rcc are Debian's own Qt of the same version.
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
include("${TABULON_WINDOWS_SDK}/lib/cmake/Qt6/qt.toolchain.cmake")
# ctest runs the test programs under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
