# Warning flags for every target of the project.
add_compile_options(
  -Wall -Wextra -Wpedantic -Wformat=2 -Wnon-virtual-dtor -Woverloaded-virtual
  -Wshadow -Wold-style-cast)
if(LW52_WERROR)
  add_compile_options(-Werror)
endif()
