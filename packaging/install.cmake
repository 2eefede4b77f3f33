# Install rules and the Debian package.  `cmake --install` puts the
# programs, the desktop entries, the MIME package, the icons and the D-Bus
# service file in the standard places; only a live install (no DESTDIR)
# refreshes the desktop's caches.  The package ships no cache files: dpkg's
# triggers of shared-mime-info, desktop-file-utils and the icon theme
# refresh them on the target system.
include(GNUInstallDirs)

set(XB_PACKAGE_VERSION "0.15.59" CACHE STRING "Version of the Debian package")
set(XB_PACKAGE_CONTACT "XB Software <packages@xbsoftware.invalid>"
    CACHE STRING "Maintainer of the Debian package (name and e-mail address)")
set(xb_desktop ${CMAKE_SOURCE_DIR}/net/desktop)
set(xb_staged ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS Rimbal RimbalRows RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The viewer's desktop files form the component "desktop".  It is part of
# the default install (and of the package) only when the viewer is part of
# the build; without it, `cmake --install --component desktop` still
# installs them, so their rules can be checked.
set(xb_component COMPONENT desktop)
if(TARGET Dorvex)
  install(TARGETS Dorvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
else()
  list(APPEND xb_component EXCLUDE_FROM_ALL)
endif()
block()
  # Installed desktop entries start the program through the search path.
  set(DORVEX_EXEC Dorvex)
  configure_file(${xb_desktop}/dorvex.desktop.in ${xb_staged}/dorvex.desktop @ONLY)
  configure_file(${xb_desktop}/dorvex-state.desktop.in ${xb_staged}/dorvex-state.desktop @ONLY)
  install(FILES ${xb_staged}/dorvex.desktop ${xb_staged}/dorvex-state.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications ${xb_component})
  install(FILES ${xb_desktop}/dorvex-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
          RENAME dorvex.xml ${xb_component})
  install(FILES ${xb_desktop}/icons/dorvex.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps ${xb_component})
  install(FILES ${xb_desktop}/icons/application-x-dorvex-state.svg
                ${xb_desktop}/icons/application-x-dorvex-document.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes
          ${xb_component})

  # The D-Bus service file needs the program's absolute path, known only when
  # installing (cmake --install --prefix may change it).
  file(READ ${xb_desktop}/org.xbsoftware.Dorvex.service.in xb_service_template)
  install(CODE "
    set(xb_service_template [==[${xb_service_template}]==])
    string(REPLACE \"@DORVEX_EXEC@\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/Dorvex\"
           xb_service \"\${xb_service_template}\")
    set(xb_service_file
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/dbus-1/services/org.xbsoftware.Dorvex.service\")
    message(STATUS \"Installing: \${xb_service_file}\")
    file(WRITE \"\${xb_service_file}\" \"\${xb_service}\")
  " ${xb_component})

  # Only a live install (no DESTDIR) refreshes the desktop's caches.
  install(CODE [[
    if("$ENV{DESTDIR}" STREQUAL "")
      foreach(step
          "update-mime-database;${CMAKE_INSTALL_PREFIX}/share/mime"
          "update-desktop-database;-q;${CMAKE_INSTALL_PREFIX}/share/applications"
          "gtk-update-icon-cache;-q;-t;-f;${CMAKE_INSTALL_PREFIX}/share/icons/hicolor")
        list(POP_FRONT step tool)
        find_program(xb_tool_${tool} ${tool})
        if(xb_tool_${tool})
          message(STATUS "Refreshing: ${tool}")
          execute_process(COMMAND ${xb_tool_${tool}} ${step})
        endif()
      endforeach()
    endif()
  ]] ${xb_component})
endblock()

# Debian's documentation files: the copyright and a compressed changelog.
file(MAKE_DIRECTORY ${xb_staged})
execute_process(COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/packaging/changelog
                OUTPUT_FILE ${xb_staged}/changelog.gz)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${xb_staged}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dorvex)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dorvex)
set(CPACK_PACKAGE_VERSION ${XB_PACKAGE_VERSION})
set(CPACK_PACKAGE_VENDOR "XB Software")
set(CPACK_PACKAGE_CONTACT "${XB_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer and console tool for SQLite 2.x and 3.x databases")
set(CPACK_PACKAGE_DESCRIPTION
    "Rimbal runs one command against an SQLite database file of either
generation (2.x or 3.x): it creates databases, executes SQL, prints query
results as text tables, tab-separated or comma-separated lines, and edits
single rows in generated dialogs.  Dorvex is a windowed viewer for the
same files with sorting, paging, query history and saved view states.")
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils, hicolor-icon-theme")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEB_COMPONENT_INSTALL OFF)
include(CPack)

if(NOT XB_SANITIZE)
  add_test(NAME install_check
           COMMAND bash ${CMAKE_SOURCE_DIR}/packaging/install-check.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(install_check PROPERTIES LABELS install TIMEOUT 900 RUN_SERIAL ON)
endif()
