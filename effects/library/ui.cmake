# The effect library's view: the tree adapter, its item view, the list-name dialog and the
# file pickers. Included by effects/CMakeLists.txt.
add_library(lw52libraryui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/../KxTreeItemWidget.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../KxTreeViewAdapter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../LibraryPickers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../ListNameDialog.cpp)
target_include_directories(lw52libraryui PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(lw52libraryui PUBLIC lw52library lw52ui Qt6::Widgets)

# The program's resources come along: the tests look at the items under the program's theme.
lw52_add_qt_test(libraryui_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/ui/KxTreeViewAdapterTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/tests/ui/ListNameDialogTest.cpp
          ${PROJECT_SOURCE_DIR}/resources/resources.qrc
  LIBS lw52libraryui)
set_target_properties(libraryui_tests PROPERTIES AUTORCC ON)
