# What `cmake --install` puts under the prefix, and the Debian package CPack
# makes from it (scripts/package). The installed programs find liblmtools.so
# through their RUNPATH; their ProgramDir is the user's data folder, seeded
# from share/lumora/ on first start.
set(LUMORA_DATA_SRC ${PROJECT_SOURCE_DIR}/data)
# Installing copies what is built; scripts/package builds just the programs.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

set_target_properties(lumora lumora-cli PROPERTIES INSTALL_RPATH "$ORIGIN/../lib")
# DT_RUNPATH rather than DT_RPATH, so LD_LIBRARY_PATH still wins.
target_link_options(lumora PRIVATE "LINKER:--enable-new-dtags")
target_link_options(lumora-cli PRIVATE "LINKER:--enable-new-dtags")

install(TARGETS lumora lumora-cli RUNTIME DESTINATION bin)
install(TARGETS lmtools LIBRARY DESTINATION lib)

install(FILES ${LUMORA_DATA_SRC}/LM_IDS.DAT ${LUMORA_DATA_SRC}/tips.dat
              ${LUMORA_DATA_SRC}/defaults/filter.cfg ${LUMORA_DATA_SRC}/defaults/filter2.cfg
        DESTINATION share/lumora)
install(DIRECTORY ${LUMORA_DATA_SRC}/help DESTINATION share/lumora)
install(FILES ${LUMORA_DATA_SRC}/linux/lumora.desktop DESTINATION share/applications)
install(FILES ${LUMORA_DATA_SRC}/pictures/program.svg
        DESTINATION share/icons/hicolor/scalable/apps RENAME lumora.svg)
install(FILES ${LUMORA_DATA_SRC}/linux/lumora-cli.bash
        DESTINATION share/bash-completion/completions RENAME lumora-cli)

# Man pages carry the version; English in man1, German in de/man1.
foreach(lang_dir IN ITEMS "" "de/")
  foreach(page IN ITEMS lumora lumora-cli)
    configure_file(${LUMORA_DATA_SRC}/man/${lang_dir}${page}.1.in
                   ${CMAKE_BINARY_DIR}/man/${lang_dir}${page}.1 @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/man/${lang_dir}${page}.1
            DESTINATION share/man/${lang_dir}man1)
  endforeach()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Lumora developers <lumora@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file lists from archive collections for BBS download areas")
set(CPACK_PACKAGE_DESCRIPTION
    "Reads ZIP, ARJ, LHA, RAR, CAB, ZOO, ARC, TAR and GZIP archives, takes the\
 description files out of them and writes file lists. Comes with a desktop\
 program and a command-line program for batch use.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Without debug information: a quarter of the size, and quicker to pack.
set(CPACK_STRIP_FILES TRUE)
# liblmtools.so ships in this package: dpkg-shlibdeps may look it up in
# the build tree and names no package for it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
# Loaded as plug-ins, so not seen by dpkg-shlibdeps: the SVG pictures.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
include(CPack)
