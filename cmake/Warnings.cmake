add_library(velmor_warnings INTERFACE)
target_compile_options(velmor_warnings INTERFACE -Wall -Wextra -Wshadow -Wnon-virtual-dtor
  -Wcast-align -Woverloaded-virtual -Wimplicit-fallthrough)
if(VELMOR_WERROR)
  target_compile_options(velmor_warnings INTERFACE -Werror)
endif()
