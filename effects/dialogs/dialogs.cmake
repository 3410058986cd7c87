# The name dialogs: save the current effect, save a group preset, name a sound clip.
list(APPEND LW52_EFFECTS_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/NameDialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DlgSaveEffect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DlgSavePreset.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DlgEditFileName.cpp)
list(APPEND LW52_EFFECTS_TESTS ${CMAKE_CURRENT_LIST_DIR}/tests/SaveDialogsTest.cpp)

# The tests build a workspace on the in-process card as the workspace's own tests do. The
# test program is made after this file is read, hence deferred.
cmake_language(DEFER CALL target_link_libraries effects_tests PRIVATE lw52cardmodel)
cmake_language(DEFER CALL target_include_directories effects_tests PRIVATE
  ${PROJECT_SOURCE_DIR}/workspace/tests)
