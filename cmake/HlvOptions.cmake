# One INTERFACE target carries the compiler settings of every target of the project.
add_library(hlv_options INTERFACE)
target_compile_features(hlv_options INTERFACE cxx_std_20)
target_compile_options(hlv_options INTERFACE
    -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual
    -Wshadow=local -Wimplicit-fallthrough)
target_compile_definitions(hlv_options INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_CAST_FROM_BYTEARRAY QT_NO_URL_CAST_FROM_STRING
    QT_NO_FOREACH QT_NO_KEYWORDS
    HLV_VERSION_STRING="${PROJECT_VERSION}")
if(HLV_WERROR)
    target_compile_options(hlv_options INTERFACE -Werror)
endif()
if(HLV_SANITIZE)
    # Undefined behaviour stops the program, so a test that meets it fails instead of
    # printing a line nobody reads; float-cast-overflow is not part of "undefined" in GCC.
    set(hlv_sanitizers -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=undefined,float-cast-overflow)
    target_compile_options(hlv_options INTERFACE ${hlv_sanitizers} -fno-omit-frame-pointer)
    target_link_options(hlv_options INTERFACE ${hlv_sanitizers})
endif()
if(HLV_TSAN)
    # Data races between the window's thread and the print lanes, monitor and report
    # threads. Qt itself is not instrumented: see scripts/tsan-suppressions.txt.
    target_compile_options(hlv_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(hlv_options INTERFACE -fsanitize=thread)
endif()
