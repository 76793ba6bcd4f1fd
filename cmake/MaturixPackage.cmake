# The Debian package, built by `cpack -G DEB`: maturix_<version>_amd64.deb
# with everything `cmake --install` puts under the prefix. Its library
# dependencies come from dpkg-shlibdeps; the desktop, MIME and icon caches
# are refreshed by the triggers of the packages that own them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME maturix)
set(CPACK_PACKAGE_VENDOR "Vantrel")
set(CPACK_PACKAGE_CONTACT "The Maturix developers <${MATURIX_SUPPORT_EMAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${MATURIX_WEB_SITE}")
# The paths written into the desktop entries and the plug-in hold the
# configured prefix, so the package installs there too.
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The summary is the synopsis line; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Maturix keeps one file per patient with their examinations and computes \
the chronological age, the bone age, its SD score, the percentage of adult \
height reached and the predicted adult height, with a chart. It includes \
maturix-cli and the plug-in of the DICOM viewer link.")
# The build keeps its debugging information; the package does not.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    "${CMAKE_INSTALL_PREFIX}/${MATURIX_INSTALL_LIBDIR}")
# Loaded at run time, so dpkg-shlibdeps cannot see them: Qt's Wayland
# platform plug-in (X11's comes with Qt's GUI library) and the desktop's helpers;
# and glyphs for Chinese, Japanese and Korean patient names, which would
# otherwise show as boxes on screen and on paper.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, hicolor-icon-theme, xdg-utils, fonts-noto-cjk")
include(CPack)
