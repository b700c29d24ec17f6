# Installation and the Debian package: the two programs, the desktop entry, the icon, the
# AppStream metadata, the manual pages and the package's documents. `cmake --install` puts
# them under the prefix; `cpack` (scripts/package) builds lumaro_<version>_amd64.deb.
include(GNUInstallDirs)

set(LUMARO_APP_ID com.ostrel.Lumaro)
set(pkg ${CMAKE_SOURCE_DIR}/packaging)
set(gen ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS lumaro lumaro-admin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${pkg}/${LUMARO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${pkg}/${LUMARO_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
configure_file(${pkg}/${LUMARO_APP_ID}.metainfo.xml ${gen}/${LUMARO_APP_ID}.metainfo.xml @ONLY)
install(FILES ${gen}/${LUMARO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages and the changelog carry the version and are installed compressed, as Debian
# expects; they are made when CMake configures (a change to a source re-runs it).
function(lumaro_gzip_file source out)
  configure_file(${source} ${out} @ONLY)
  execute_process(COMMAND gzip -9nf ${out} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${out} failed")
  endif()
endfunction()
foreach(page lumaro.1 lumaro-admin.1)
  lumaro_gzip_file(${pkg}/man/${page} ${gen}/${page})
  install(FILES ${gen}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
lumaro_gzip_file(${pkg}/changelog ${gen}/changelog)
install(FILES ${pkg}/copyright ${gen}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lumaro)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumaro)
set(CPACK_PACKAGE_VENDOR Ostrel)
set(CPACK_PACKAGE_CONTACT "Ostrel <support@ostrel.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "order entry with the item's quantities at hand")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_PACKAGE_DESCRIPTION
    "Lumaro hosts the ERP platform's Order Entry screen and shows under it the
quantities of the current item at one location, read by a configurable SQL
query from an external database (SQLite, PostgreSQL or ODBC).

lumaro-admin manages installations, program settings and the registry store.")
# The libraries the programs link are found by dpkg-shlibdeps; the Qt SQL drivers are
# plugins loaded at run time, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql, libqt6sql6-odbc")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "odbc-postgresql")
include(CPack)
