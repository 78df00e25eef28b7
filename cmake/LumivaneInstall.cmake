# SPDX-License-Identifier: MIT
# Install rules: the layout a Linux hardware package has. Everything goes
# below the prefix, so CMAKE_INSTALL_PREFIX, --prefix and DESTDIR all hold.

# Where the toolchain knows its multiarch folder, the plug-in file goes there
# under every prefix, as Debian's private plug-in folders do.
if(NOT DEFINED CMAKE_INSTALL_LIBDIR AND CMAKE_LIBRARY_ARCHITECTURE)
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries")
endif()
include(GNUInstallDirs)

set(LUMIVANE_PLUGIN_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/lumivane)
set(LUMIVANE_UDEV_RULES_DIR lib/udev/rules.d
  CACHE STRING "Folder of the udev rules, below the prefix (udev reads /usr/lib/udev/rules.d)")

# The installed host finds the installed plug-in file relative to itself,
# whatever prefix the tree is installed or packaged under.
file(RELATIVE_PATH lumivane_plugin_from_bindir ${CMAKE_INSTALL_FULL_BINDIR}
  ${CMAKE_INSTALL_FULL_LIBDIR}/lumivane)
if(TARGET lumivane_host_lib)
  target_compile_definitions(lumivane_host_lib PRIVATE
    LUMIVANE_PLUGIN_DIR_FROM_BINDIR="${lumivane_plugin_from_bindir}")
endif()

install(TARGETS lumivane_plugin LIBRARY DESTINATION ${LUMIVANE_PLUGIN_INSTALL_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/lumivane DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")
# Every program of host/ (lumivane-host, and any tool beside it).
get_property(lumivane_host_targets DIRECTORY ${PROJECT_SOURCE_DIR}/host
  PROPERTY BUILDSYSTEM_TARGETS)
foreach(target IN LISTS lumivane_host_targets)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE" AND target MATCHES "^lumivane-")
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/udev/60-lumivane.rules
  DESTINATION ${LUMIVANE_UDEV_RULES_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages are shipped compressed, as Debian's tools expect.
set(lumivane_manual ${PROJECT_BINARY_DIR}/lumivane-host.1.gz)
add_custom_command(OUTPUT ${lumivane_manual}
  COMMAND sh -c "gzip -9 -n -c \"$0\" > \"$1\"" ${PROJECT_SOURCE_DIR}/docs/lumivane-host.1
    ${lumivane_manual}
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/lumivane-host.1 VERBATIM)
add_custom_target(lumivane_manual ALL DEPENDS ${lumivane_manual})
install(FILES ${lumivane_manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# lumivane.pc names absolute folders, so it is written when the prefix is
# known: at install time (cpack installs under its own prefix).
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(lumivane_pc_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(lumivane_pc_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(lumivane_pc_destination "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
else()
  set(lumivane_pc_destination "\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig")
endif()
set(LUMIVANE_PC_PREFIX "@LUMIVANE_PC_PREFIX@")
configure_file(${PROJECT_SOURCE_DIR}/packaging/lumivane.pc.in ${PROJECT_BINARY_DIR}/lumivane.pc.in
  @ONLY)
# Each install writes its own copy, so that two at once do not mix prefixes.
install(CODE "
  set(LUMIVANE_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  string(MD5 lumivane_pc_key \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  set(lumivane_pc \"${PROJECT_BINARY_DIR}/pkgconfig/\${lumivane_pc_key}/lumivane.pc\")
  configure_file(\"${PROJECT_BINARY_DIR}/lumivane.pc.in\" \"\${lumivane_pc}\" @ONLY)
  file(INSTALL DESTINATION \"${lumivane_pc_destination}\" TYPE FILE FILES \"\${lumivane_pc}\")
")

include(LumivanePackage)
