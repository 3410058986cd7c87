# LW52_SANITIZE="address,undefined" or "thread" instruments every target.
if(LW52_SANITIZE)
  add_compile_options(-fsanitize=${LW52_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${LW52_SANITIZE})
endif()
