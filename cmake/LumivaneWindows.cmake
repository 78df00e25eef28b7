# SPDX-License-Identifier: MIT
# The Windows build (a mingw-w64 toolchain file): the COM DLL on the same
# core, with the Windows adapters, and the programs that test it under Wine.
# Everything links statically, so the DLL needs only system DLLs.
if(NOT LUMIVANE_WIDL)
  message(FATAL_ERROR "Configure the Windows build with a toolchain file from cmake/toolchains")
endif()

set(LUMIVANE_WINDOWS_STATIC -static -static-libgcc -static-libstdc++)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(LUMIVANE_WIDL_FLAGS --win32 -L /usr/lib/i386-linux-gnu/wine/i386-windows)
  list(APPEND LUMIVANE_WINDOWS_STATIC -Wl,--enable-stdcall-fixup)
else()
  set(LUMIVANE_WIDL_FLAGS --win64 -L /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
endif()

find_package(Threads REQUIRED)
add_subdirectory(core)

# The platform-free files of the parts, and the Windows adapters behind
# their seams (the parts' own CMake files are the Linux build's).
lumivane_library(lumivane_windows_parts
  prowidget/widget_message.cpp
  prowidget/widget_link.cpp
  prowidget/hex_string.cpp
  prowidget/reply_decoder.cpp
  prowidget/reply_parser.cpp
  prowidget/serial_steps.cpp
  prowidget/pro_widget_probe.cpp
  prowidget/overlapped_io_win32.cpp
  prowidget/serial_port_win32.cpp
  opendmx/dmx_transmitter.cpp
  opendmx/open_dmx_link.cpp
  opendmx/d2xx_win32.cpp
  network/name_text.cpp
  network/artnet_packets.cpp
  network/sacn_packets.cpp
  network/network_sender.cpp
  network/node_finder.cpp
  network/udp_socket_win32.cpp
  ui/port_text.cpp
  ui/device_form.cpp
  ui/user_reports_win32.cpp
  ui/device_dialog_win32.cpp)
target_compile_definitions(lumivane_windows_parts PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN
  NOMINMAX _WIN32_WINNT=0x0601)
target_link_libraries(lumivane_windows_parts PUBLIC lumivane_core user32 gdi32 comctl32 advapi32
  ws2_32)

# The type library, its C header and GUIDs, one set per bitness in the build.
set(LUMIVANE_IDL ${PROJECT_SOURCE_DIR}/com/lumivane.idl)
set(LUMIVANE_GENERATED ${PROJECT_BINARY_DIR}/generated)
set(LUMIVANE_TLB ${LUMIVANE_GENERATED}/lumivane.tlb)
file(MAKE_DIRECTORY ${LUMIVANE_GENERATED})
add_custom_command(
  OUTPUT ${LUMIVANE_TLB} ${LUMIVANE_GENERATED}/lumivane_idl.h ${LUMIVANE_GENERATED}/lumivane_idl_i.c
  COMMAND ${LUMIVANE_WIDL} ${LUMIVANE_WIDL_FLAGS} -I /usr/include/wine/wine/windows
    -t -T ${LUMIVANE_TLB} -h -H ${LUMIVANE_GENERATED}/lumivane_idl.h
    -u -U ${LUMIVANE_GENERATED}/lumivane_idl_i.c ${LUMIVANE_IDL}
  DEPENDS ${LUMIVANE_IDL}
  COMMENT "widl: type library and header")
add_custom_target(lumivane_idl DEPENDS ${LUMIVANE_TLB} ${LUMIVANE_GENERATED}/lumivane_idl.h)

# The GUIDs as a library of their own, for the DLL and the test host.
add_library(lumivane_guids STATIC ${LUMIVANE_GENERATED}/lumivane_idl_i.c)
target_include_directories(lumivane_guids PUBLIC ${LUMIVANE_GENERATED})
add_dependencies(lumivane_guids lumivane_idl)

add_subdirectory(com)
add_subdirectory(packaging/windows)
if(LUMIVANE_TESTS)
  add_subdirectory(tests/windows)
  add_subdirectory(tests/windows_installer)
endif()
