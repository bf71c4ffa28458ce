# The hardening a Debian package is expected to have (lintian checks it), in
# every build by default so that a plain configure gets it: position-
# independent executables, relocations read-only and bound at start (RELRO,
# BIND_NOW), stack protection and, where the optimiser runs, fortified libc
# calls. A packager's own _FORTIFY_SOURCE level in CXXFLAGS is kept.
# LUMIVO_HARDENING=OFF leaves all of this out.
option(LUMIVO_HARDENING "Build with the usual hardening flags (PIE, RELRO, BIND_NOW, FORTIFY)" ON)
if(NOT LUMIVO_HARDENING)
  return()
endif()

include(CheckPIESupported)
check_pie_supported(OUTPUT_VARIABLE pie_error LANGUAGES CXX)
if(NOT CMAKE_CXX_LINK_PIE_SUPPORTED)
  message(WARNING "The linker cannot make position-independent executables: ${pie_error}")
endif()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

add_compile_options(-fstack-protector-strong -fstack-clash-protection)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i.86)$")
  add_compile_options(-fcf-protection)
endif()
add_link_options(LINKER:-z,relro LINKER:-z,now)

# glibc warns about _FORTIFY_SOURCE without optimisation, so Debug builds go
# without; a level the compiler or the packager sets already stays.
include(CheckCXXSourceCompiles)
check_cxx_source_compiles("
#ifdef _FORTIFY_SOURCE
#error predefined
#endif
int main() {}" LUMIVO_FORTIFY_UNSET)
if(LUMIVO_FORTIFY_UNSET AND NOT CMAKE_CXX_FLAGS MATCHES "_FORTIFY_SOURCE")
  add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
endif()
