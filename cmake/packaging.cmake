# What a Linux install holds beside the programs (manual pages, shell
# completions, the copyright file and the changelog), and the Debian package
# CPack makes of it all (scripts/package).

# Manual pages and the changelog go in compressed, as Debian has them: gzip -9
# without a name or time stamp, so that the same sources give the same bytes.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(tonvale_gzipped)
function(tonvale_gzip source output)
  add_custom_command(OUTPUT ${output} COMMAND ${GZIP_PROGRAM} -9nc ${source} > ${output} DEPENDS ${source}
                     VERBATIM)
  list(APPEND tonvale_gzipped ${output})
  set(tonvale_gzipped ${tonvale_gzipped} PARENT_SCOPE)
endfunction()

set(generated ${CMAKE_CURRENT_BINARY_DIR}/generated)
foreach(page tonvale-cli tonvale)
  configure_file(data/man/${page}.1 ${generated}/man/${page}.1 @ONLY)
  tonvale_gzip(${generated}/man/${page}.1 ${generated}/man/${page}.1.gz)
  install(FILES ${generated}/man/${page}.1.gz DESTINATION share/man/man1)
endforeach()
tonvale_gzip(${CMAKE_CURRENT_SOURCE_DIR}/data/debian/changelog ${generated}/changelog.gz)
add_custom_target(tonvale_documents ALL DEPENDS ${tonvale_gzipped})

install(FILES data/debian/copyright ${generated}/changelog.gz DESTINATION share/doc/tonvale)
install(FILES data/completions/tonvale-cli.bash DESTINATION share/bash-completion/completions RENAME tonvale-cli)
install(FILES data/completions/_tonvale-cli DESTINATION share/zsh/vendor-completions)
install(FILES data/completions/tonvale-cli.fish DESTINATION share/fish/vendor_completions.d)

# The package: built from a Release build with both programs (scripts/package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tonvale)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tonvale developers")
set(CPACK_PACKAGE_CONTACT "The Tonvale developers <tonvale@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch audio converter for WAV, MP3 and WMA files")
set(CPACK_PACKAGE_DESCRIPTION
    "Tonvale converts WAV, MP3 and WMA files in six modes (WAV to MP3 or WMA,
MP3 or WMA to WAV, MP3 to WMA, WMA to MP3), many files at a time, and carries
title, artist, album and the rest of the tags into the outputs.
.
It comes as a window (tonvale), with drops from the file manager and Open
With, and as a command line (tonvale-cli) for scripts. FFmpeg decodes MP3
and WMA and encodes WMA; LAME encodes MP3.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://tonvale.example.org/)
# dpkg-shlibdeps adds what the programs link (FFmpeg by the sonames of this
# build, Qt, libjpeg, the C++ runtime); LAME is loaded at run time by its
# soname (libmp3lame.so.0), which nothing links, so it is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libmp3lame0")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
