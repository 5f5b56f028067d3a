# Installing Chronara (cmake --install, any prefix) and its Debian package
# (make package). The layout:
#
#   lib/<arch>/chronara/   chronara, chronara-window, libSolPos.so, data and lang -> below
#   bin/chronara           -> ../lib/<arch>/chronara/chronara
#   share/chronara/data/   the zone tables and map images
#   share/chronara/lang/   the shipped translations (lang/<language>/lang.txt)
#   share/applications/<id>.desktop, share/metainfo/<id>.metainfo.xml,
#   share/icons/hicolor/*/apps/<id>.{svg,png}, share/man/man1/chronara.1.gz,
#   share/doc/chronara/{copyright,changelog.gz,README.md}
#
# <id> is the reverse-domain name of the menu entry, icon and software-centre
# component (platform/DesktopId.h); the command stays chronara.
#
# The program reads its data from beside its own file, found through the
# operating system with links resolved, so the link in bin/ leads it to
# its private folder and from there to the data. Nothing of the build tree is
# used. The private folder sits below the multiarch library folder where the
# system has one (<arch> is then e.g. x86_64-linux-gnu), as Debian keeps a
# package's private libraries, and lib/chronara elsewhere.
include(GNUInstallDirs)

if(CMAKE_LIBRARY_ARCHITECTURE)
    set(CHRONARA_PRIVATE_DIR lib/${CMAKE_LIBRARY_ARCHITECTURE}/chronara)
else()
    set(CHRONARA_PRIVATE_DIR lib/chronara)
endif()
set(CHRONARA_DATA_DIR ${CMAKE_INSTALL_DATADIR}/chronara/data)
set(CHRONARA_LANG_DIR ${CMAKE_INSTALL_DATADIR}/chronara/lang)
set(CHRONARA_PACKAGE_MAINTAINER "Chronara developers <chronara@example.org>"
    CACHE STRING "Maintainer named in the Debian package")
set(CHRONARA_STAGE ${CMAKE_BINARY_DIR}/install-stage)
set(CHRONARA_DESKTOP_ID io.github.chronara.Chronara)

install(TARGETS chronara chronara-window SolPos
    RUNTIME DESTINATION ${CHRONARA_PRIVATE_DIR}
    LIBRARY DESTINATION ${CHRONARA_PRIVATE_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${CHRONARA_DATA_DIR}
    FILES_MATCHING PATTERN "*.dat" PATTERN "*.png" PATTERN "*.jpg")
install(DIRECTORY ${CMAKE_SOURCE_DIR}/lang/ DESTINATION ${CHRONARA_LANG_DIR}
    FILES_MATCHING PATTERN "lang.txt")

# The three links, made here with relative targets so that they hold under any
# prefix, and installed as links.
file(RELATIVE_PATH link_to_program /${CMAKE_INSTALL_BINDIR} /${CHRONARA_PRIVATE_DIR}/chronara)
file(RELATIVE_PATH link_to_data /${CHRONARA_PRIVATE_DIR} /${CHRONARA_DATA_DIR})
file(RELATIVE_PATH link_to_lang /${CHRONARA_PRIVATE_DIR} /${CHRONARA_LANG_DIR})
file(MAKE_DIRECTORY ${CHRONARA_STAGE}/bin ${CHRONARA_STAGE}/private)
file(CREATE_LINK ${link_to_program} ${CHRONARA_STAGE}/bin/chronara SYMBOLIC)
file(CREATE_LINK ${link_to_data} ${CHRONARA_STAGE}/private/data SYMBOLIC)
file(CREATE_LINK ${link_to_lang} ${CHRONARA_STAGE}/private/lang SYMBOLIC)
install(FILES ${CHRONARA_STAGE}/bin/chronara DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CHRONARA_STAGE}/private/data ${CHRONARA_STAGE}/private/lang
    DESTINATION ${CHRONARA_PRIVATE_DIR})

# Menu entry, software-centre description, icons.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${CHRONARA_DESKTOP_ID}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${CHRONARA_DESKTOP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${CHRONARA_DESKTOP_ID}.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The PNG sizes are drawn by the window's own icon code.
add_executable(chronara_render_icons ${CMAKE_CURRENT_LIST_DIR}/RenderIcons.cpp)
target_link_libraries(chronara_render_icons PRIVATE chronara_app)
chronara_warnings(chronara_render_icons)
set(CHRONARA_ICON_SIZES 16 22 24 32 48 64 128 256)
set(icon_files)
foreach(side ${CHRONARA_ICON_SIZES})
    list(APPEND icon_files ${CHRONARA_STAGE}/icons/${side}x${side}/apps/${CHRONARA_DESKTOP_ID}.png)
    install(FILES ${CHRONARA_STAGE}/icons/${side}x${side}/apps/${CHRONARA_DESKTOP_ID}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${side}x${side}/apps)
endforeach()
add_custom_command(OUTPUT ${icon_files}
    COMMAND chronara_render_icons ${CHRONARA_STAGE}/icons ${CHRONARA_ICON_SIZES}
    DEPENDS chronara_render_icons
    COMMENT "Drawing the menu icons")

# Manual page and package documents, compressed as Debian wants them.
find_program(CHRONARA_GZIP gzip REQUIRED)
configure_file(${CMAKE_CURRENT_LIST_DIR}/chronara.1 ${CHRONARA_STAGE}/man.in/chronara.1 @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${CHRONARA_STAGE}/doc.in/changelog @ONLY)
file(READ ${CMAKE_CURRENT_LIST_DIR}/copyright.in copyright_text)
file(READ ${CMAKE_SOURCE_DIR}/data/NOTICE notice_text)
file(WRITE ${CHRONARA_STAGE}/doc/copyright.new "${copyright_text}${notice_text}")
file(COPY_FILE ${CHRONARA_STAGE}/doc/copyright.new ${CHRONARA_STAGE}/doc/copyright ONLY_IF_DIFFERENT)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_LIST_DIR}/copyright.in ${CMAKE_SOURCE_DIR}/data/NOTICE)
foreach(pair "man.in/chronara.1;man/chronara.1" "doc.in/changelog;doc/changelog")
    list(GET pair 0 from)
    list(GET pair 1 to)
    add_custom_command(OUTPUT ${CHRONARA_STAGE}/${to}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${CHRONARA_STAGE}/${from} ${CHRONARA_STAGE}/${to}
        COMMAND ${CHRONARA_GZIP} -9nf ${CHRONARA_STAGE}/${to}
        DEPENDS ${CHRONARA_STAGE}/${from}
        VERBATIM)
endforeach()
add_custom_target(chronara_install_files ALL
    DEPENDS ${icon_files} ${CHRONARA_STAGE}/man/chronara.1.gz ${CHRONARA_STAGE}/doc/changelog.gz)
install(FILES ${CHRONARA_STAGE}/man/chronara.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CHRONARA_STAGE}/doc/copyright ${CHRONARA_STAGE}/doc/changelog.gz
    ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/chronara)

# The solar library calls only the maths library; it names the C library too,
# as every shared library in a Debian package must.
target_link_options(SolPos PRIVATE "LINKER:--push-state,--no-as-needed,-lc,--pop-state")

# The Debian package: dependencies worked out from the binaries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME chronara)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "${CHRONARA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "world clock with a map of day and night")
# One line of the package description each; the package tools indent them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Chronara shows a world map with night shaded over day along the current"
    "terminator, a list of up to 15 places with their local times and a large"
    "clock line for one place. Pointing at the map shows the nearest place, the"
    "local time and UTC offset there, and its sunrise, sunset, day length and"
    "sun angle. It lives in the system tray, and can write one shaded map as an"
    "image from the command line without a display.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs Qt's desktop platform plugins, which no library links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
