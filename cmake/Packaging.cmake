# The Debian package of the programs: `cpack -G DEB` in a build folder (scripts/build-deb).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kvt)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The KVT developers <maintainers@kvt.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ringtones for Japanese mobile handsets from audio files")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "KVT turns an ordinary audio file (WAV, WMA, MP3, FLAC, M4A, Ogg, Opus,\n\
AIFF or an audio-CD track) into ringtone files for Japanese mobile\n\
handsets: MLD files for thirteen handset families, MMF (SMAF) files, and\n\
3GP and 3G2 files with AAC audio.\n\
.\n\
The package holds the desktop program kvt, with its waveform view, range\n\
selection, preview and settings dialog, and kvt-convert, which runs the\n\
same conversion from the command line and checks ringtone files.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's Japanese texts need a CJK font; none of the linked libraries pulls one in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Folders that belong to the base system keep its permissions (lintian checks them).
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)
include(CPack)
