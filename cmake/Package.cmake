# The Debian package: `cmake --build --preset release --target package` makes
# quorvex_VERSION_ARCH.deb of what Install.cmake installs, under /usr. Its library
# dependencies come from dpkg-shlibdeps (dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvex)
set(CPACK_PACKAGE_VENDOR "The Quorvex developers")
set(CPACK_PACKAGE_CONTACT "Quorvex maintainers <maintainers@quorvex.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://quorvex.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compare the reception of two Mode S receivers")
set(CPACK_PACKAGE_DESCRIPTION
    "Quorvex takes the live output of two Mode S receivers (hex frames over a
serial line or UDP, or a decoder's raw or Beast TCP output) and of a
port-30003 feed, checks the parity of every frame, counts the frames per
second by Downlink Format and shows the three sources side by side: rates
and charts, which aircraft each receiver hears, and how far each one hears
per bearing around the station. Frames can be logged; the history and the
tables export as CSV.

A receiver on a serial port needs its user in the dialout group
(adduser USER dialout, then log in again).

The package also holds quorvex-sim, which stands in for two receivers and a
feed, so the program can be tried without any.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The fonts the chart and the figures ask for by name (Arial, Arial Narrow, Courier New and
# their metric-compatible stand-ins); without them fontconfig picks others.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-liberation)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
