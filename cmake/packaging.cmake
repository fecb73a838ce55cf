# Installation and packages: a .deb of the command line and the simulator on Linux
# (cpack -G DEB), an NSIS installer and a zip of the two Windows programs in the cross build
# (cmake --build --preset windows --target package).
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VENDOR Tarnwick)
set(CPACK_PACKAGE_CONTACT "Tarnwick <tarnwick@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configures a battery-powered tracker over its serial port")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)

if(WIN32)
    install(TARGETS Tarnwick tarnwick-cli RUNTIME DESTINATION .)
    set(CPACK_GENERATOR "NSIS;ZIP")
    set(CPACK_PACKAGE_INSTALL_DIRECTORY Tarnwick)
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
    # A 64-bit installer: it runs where only 64-bit Windows code does, and writes the
    # registry's native view.
    set(CPACK_NSIS_DEFINES "Target amd64-unicode")
    set(CPACK_NSIS_PACKAGE_NAME "Tarnwick ${PROJECT_VERSION}")
    set(CPACK_NSIS_DISPLAY_NAME "Tarnwick ${PROJECT_VERSION}")
    set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/tarnwick.ico)
    set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/tarnwick.ico)
    set(CPACK_NSIS_INSTALLED_ICON_NAME Tarnwick.exe)
    set(CPACK_PACKAGE_EXECUTABLES Tarnwick Tarnwick)
    set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
    # The installer is named ...-setup.exe, the zip beside it only ...-win64.zip.
    configure_file(${PROJECT_SOURCE_DIR}/cmake/cpack-per-generator.cmake.in
                   ${PROJECT_BINARY_DIR}/cpack-per-generator.cmake @ONLY)
    set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/cpack-per-generator.cmake)
else()
    install(TARGETS tarnwick-cli tarnwick-devsim RUNTIME DESTINATION bin)
    install(FILES resources/packaging/tarnwick-cli.bash RENAME tarnwick-cli
            DESTINATION share/bash-completion/completions)
    find_program(HELP2MAN help2man)
    if(HELP2MAN)
        set(summary_tarnwick-cli "configure a tracker over its serial port")
        set(summary_tarnwick-devsim "a simulated tracker on a pseudo-terminal")
        foreach(program tarnwick-cli tarnwick-devsim)
            set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
            add_custom_command(OUTPUT ${page}
                COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
                COMMAND ${HELP2MAN} --no-info --no-discard-stderr --output=${page}
                        "--name=${summary_${program}}" $<TARGET_FILE:${program}>
                DEPENDS ${program} VERBATIM)
            list(APPEND man_pages ${page})
        endforeach()
        add_custom_target(man-pages ALL DEPENDS ${man_pages})
        install(FILES ${man_pages} DESTINATION share/man/man1)
    endif()
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS bash-completion)
endif()
include(CPack)
