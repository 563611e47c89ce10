# `cpack -G DEB --config build/CPackConfig.cmake` (or `cmake --build build --target package`)
# makes cardwright_<version>_amd64.deb from the install rules: the program with Samples/ under
# /usr/lib/cardwright, the link /usr/bin/cardwright, the desktop entry, the icons and the
# AppStream file. Its library dependencies come from the binary (dpkg-shlibdeps, dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cardwright)
set(CPACK_PACKAGE_VENDOR Marrowind)
set(CPACK_PACKAGE_CONTACT "Marrowind <support@marrowind.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn the rows of a spreadsheet into vCard contact files")
# Each line of the description at most 80 characters, as Debian's tools show it.
set(CPACK_PACKAGE_DESCRIPTION
    "Cardwright turns the rows of a block of cells in a spreadsheet workbook
(xlsx, xls, ods) or a CSV file into vCard files: vCard 2.1 in the ANSI code
page or in UTF-8, or vCard 3.0 and 4.0, one file per row or one for all rows.
It reads workbooks with an engine of its own and needs no spreadsheet program.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/marrowind/cardwright)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not seen in the binary: the X11 platform plugin Qt loads at run time, and the fonts the
# window's fixed layout is measured in (Arial, metric-compatible Liberation Sans).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
# Debian's symbols file dates XML_SetReparseDeferralEnabled to 2.5.0, but the first 2.5.0
# packages (2.5.0-1, 2.5.0-1+deb12u1) lack it: a binary that calls it needs the point release
# that added it, which dpkg-shlibdeps alone would not demand.
if(CW_HAVE_XML_SET_REPARSE_DEFERRAL)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libexpat1 (>= 2.5.0-1+deb12u2)")
endif()
# Chinese and Japanese names need a font that covers them; a clean install has none.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, fonts-noto-cjk")
set(CPACK_STRIP_FILES ON)
include(CPack)
