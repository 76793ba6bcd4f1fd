# Where `cmake --install` puts the programs, their libraries and the viewer
# plug-in. Our libraries are private to Maturix and carry no version in their
# names, so they live in a folder of their own that the programs find through
# their RPATH, wherever the tree is unpacked.
set(MATURIX_INSTALL_LIBDIR "${CMAKE_INSTALL_LIBDIR}/maturix")
set(MATURIX_INSTALL_RESOURCES "${CMAKE_INSTALL_DATADIR}/maturix")

set(maturix_programs Maturix maturix-cli)
set(maturix_libraries PlatformCore PlatformArchive Platform KVClasses Vantrel MaturixDicom)

set_target_properties(${maturix_programs} PROPERTIES
    INSTALL_RPATH "$ORIGIN/../${MATURIX_INSTALL_LIBDIR}")
set_target_properties(${maturix_libraries} PROPERTIES INSTALL_RPATH "$ORIGIN")
# The plug-in is copied into the viewer's plug-in folder, away from this
# tree, so it names the installed library folder in full.
set_target_properties(MaturixLink PROPERTIES
    INSTALL_RPATH "${CMAKE_INSTALL_PREFIX}/${MATURIX_INSTALL_LIBDIR}")

install(TARGETS ${maturix_programs} RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
# The stand-in viewer (tools/OsiriXHost) is test equipment: never installed.
install(TARGETS ${maturix_libraries} LIBRARY DESTINATION "${MATURIX_INSTALL_LIBDIR}")

# The plug-in bundle among Maturix's resources, from where the application
# installs it into the viewer.
get_property(maturix_link_bundle GLOBAL PROPERTY MATURIX_LINK_BUNDLE)
cmake_path(GET maturix_link_bundle FILENAME maturix_link_bundle_name)
set(maturix_link_destination "${MATURIX_INSTALL_RESOURCES}/OsiriX Plugins/${maturix_link_bundle_name}")
install(TARGETS MaturixLink LIBRARY DESTINATION "${maturix_link_destination}")
install(FILES "${maturix_link_bundle}/Info.json" DESTINATION "${maturix_link_destination}")
# Resources kept in the source tree, when there are any.
if(IS_DIRECTORY "${PROJECT_SOURCE_DIR}/Resources")
    install(DIRECTORY "${PROJECT_SOURCE_DIR}/Resources/" DESTINATION "${MATURIX_INSTALL_RESOURCES}")
endif()
