# Common compile settings and the helper that makes one library target per source folder.

add_library(quorvex_warnings INTERFACE)
target_compile_options(quorvex_warnings INTERFACE -Wall -Wextra -Wshadow -Wnon-virtual-dtor)
# GCC 12 at -O2 warns -Wrestrict inside the standard library's string copies for
# "literal" + std::string, a false positive of that compiler: the release build would
# otherwise print eight such warnings about code that is correct.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(quorvex_warnings INTERFACE -Wno-restrict)
endif()
if(QUORVEX_WERROR)
  target_compile_options(quorvex_warnings INTERFACE -Werror)
endif()

# Release builds are the ones installed and packaged: hardened as Debian builds its packages
# (fortified libc calls, a read-only global offset table).
add_compile_definitions($<$<CONFIG:Release>:_FORTIFY_SOURCE=2>)
add_link_options($<$<CONFIG:Release>:LINKER:-z,relro,-z,now>)

# The checks of the threading contracts (platform/ui_thread.h), in every target alike.
if(QUORVEX_CHECK_THREADS)
  add_compile_definitions(QUORVEX_CHECK_THREADS=1)
endif()

if(QUORVEX_BUILD_FUZZ)
  # Coverage for libFuzzer in every library; the fuzz executables add the fuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(QUORVEX_THREAD_SANITIZER)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(QUORVEX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# quorvex_library(<name> SOURCES ... [DEPENDS ...])
# A folder's library. DEPENDS lists the only targets that folder may use, which keeps the
# layers pointing down only: app on top (the window's quorvex_app over quorvex_engine, which
# links QtCore and no widgets); ui over serial, net and translation; serial and net over
# core; core and translation over platform. core is one library; the order of its subfolders
# (base, frames, feed, positions, comparison, settings, run, export) is kept by
# scripts/check-includes, which checks every include.
function(quorvex_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS} PRIVATE quorvex_warnings)
endfunction()
