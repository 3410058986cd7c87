# The equaliser curve: QvEQ with its curve, grid and drag handles.
list(APPEND LW52_WIDGET_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/QvEQ.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QvEqCurve.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QvEqGrid.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SMoveThumb.cpp)
list(APPEND LW52_WIDGET_TESTS ${CMAKE_CURRENT_LIST_DIR}/tests/QvEqTest.cpp)

