# The Debian package: run "cpack -G DEB" in the build folder. Its Depends line
# comes from dpkg-shlibdeps, which reads the libraries the installed program
# links, so it names the Debian packages that really provide them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME linesift)
set(CPACK_PACKAGE_VENDOR Quellora)
set(CPACK_PACKAGE_CONTACT "Quellora <linesift@quellora.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "read large plain-text files by filtering their lines")
set(CPACK_PACKAGE_DESCRIPTION [[
Linesift shows a text file (a log, a listing, an export) as a list of
lines and filters them as a query is typed: naive words and phrases, word
starts, or regular expressions, with the matches highlighted. It reads
ANSI, UTF-8 and UTF-16 files. A batch mode prints, counts or writes as
JSON the lines a query selects.]])
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quellora.example/linesift/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
