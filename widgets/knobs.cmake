# Knobs, sliders, progress bars and level meters, two-state buttons.
list(APPEND LW52_WIDGET_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/QvCheckButton.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/QvProgress.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/QvProgressEX.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/QvProgressEX1.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/QvRadioButton.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/QvRotaryKnob.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/QvSlider.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/QvSliderParts.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/QvTwoState.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/QvValueTip.cpp)

list(APPEND LW52_WIDGET_TESTS
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/QvRotaryKnobTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/QvSliderTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/QvProgressTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/QvTwoStateButtonTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/tests/QvWidgetLookTest.cpp)

