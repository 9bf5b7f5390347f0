# The hardening that Debian builds its packages with
# (DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags): the strong stack
# protector, fortified libc calls, format checks, position-independent code,
# and relocations made read-only and bound at start-up; with the stack-clash
# and control-flow protection that newer dpkg adds. The sanitizer builds
# leave it off: _FORTIFY_SOURCE and AddressSanitizer check the same calls
# and stand in each other's way.
option(B64NUM_HARDENING "Build with Debian's hardening flags" OFF)
if(B64NUM_HARDENING)
    include(CheckPIESupported)
    check_pie_supported(LANGUAGES CXX)
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    add_compile_options(-fstack-protector-strong -fstack-clash-protection
                        -Wformat -Werror=format-security)
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i.86)$")
        add_compile_options(-fcf-protection)
    endif()
    # Some toolchains define it already, at another level.
    add_compile_options(-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2)
    add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
