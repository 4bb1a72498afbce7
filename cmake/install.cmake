# What `cmake --install BUILD --prefix P` (and `make install PREFIX=P`) puts into P: the programs
# and the sample bots in P/bin/, the viewer files in P/share/zarvo/resources/, where the arena
# looks for them when they are not beside it. Test programs, fuzzers and benchmarks stay in the
# build tree. The paths are fixed, not GNUInstallDirs, since the arena finds its files by them.
set(ZARVO_INSTALL_BIN bin)
set(ZARVO_INSTALL_RESOURCES share/zarvo/resources)

foreach(program zarvo-arena zarvo-checker java-launcher zarvo-random zarvo-greedy)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${ZARVO_INSTALL_BIN})
  endif()
endforeach()

install(PROGRAMS ${PROJECT_SOURCE_DIR}/players/zarvo_bot.py DESTINATION ${ZARVO_INSTALL_BIN})

# The Java bot: its class beside the copy of the launcher named after it.
if(TARGET java-randombot)
  install(PROGRAMS ${ZARVO_BIN_DIR}/RandomBot DESTINATION ${ZARVO_INSTALL_BIN})
  install(FILES ${ZARVO_BIN_DIR}/RandomBot.class DESTINATION ${ZARVO_INSTALL_BIN})
endif()

# zarvo.js as the build joins it from its parts (viewer/CMakeLists.txt).
install(FILES ${ZARVO_BIN_DIR}/resources/zarvo.js ${PROJECT_SOURCE_DIR}/viewer/zarvo.css
              ${PROJECT_SOURCE_DIR}/viewer/zarvo-play.js ${PROJECT_SOURCE_DIR}/viewer/zarvo-play.css
        DESTINATION ${ZARVO_INSTALL_RESOURCES})
