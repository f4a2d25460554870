# ZORVAN_SANITIZE builds every target of the tree with the named sanitizers,
# for example "address,undefined" or "thread". Any report ends the program:
# nothing recovers and carries on.
set(ZORVAN_SANITIZE "" CACHE STRING
  "Sanitizers for every target, e.g. address,undefined or thread; empty for none")
if(ZORVAN_SANITIZE)
  add_compile_options(-fsanitize=${ZORVAN_SANITIZE} -fno-sanitize-recover=all
    -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${ZORVAN_SANITIZE})
endif()
