# CPack pre-build script: Debian keeps a game's program in /usr/games (Policy 11.11), so the .deb
# moves the show there from the bin folder that `cmake --install` uses; the tools stay in /usr/bin.
# The program still finds its data, /usr/games/../share/glimmertide being the same folder.
set(usr ${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
file(MAKE_DIRECTORY ${usr}/games)
file(RENAME ${usr}/${CPACK_GLIMMER_BINDIR}/glimmertide ${usr}/games/glimmertide)
