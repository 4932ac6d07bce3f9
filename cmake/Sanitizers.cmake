add_library(velmor_sanitizers INTERFACE)
if(VELMOR_SANITIZE)
  target_compile_options(velmor_sanitizers INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(velmor_sanitizers INTERFACE -fsanitize=address,undefined)
endif()
if(VELMOR_FUZZ)
  # Coverage for the libraries under test, so the fuzzers are guided by them.
  target_compile_options(velmor_sanitizers INTERFACE -fsanitize=fuzzer-no-link)
endif()
