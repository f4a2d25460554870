# SPDX-License-Identifier: MIT
# word_list(OUTPUT WHAT) writes OUTPUT, one of the lists render/word_lists.cpp
# makes (studio, dictionary or keys), again whenever the tables change.
function(word_list output what)
  add_custom_command(OUTPUT ${output}
    COMMAND zorvan_word_lists ${what} ${output}
    DEPENDS zorvan_word_lists
    COMMENT "Writing the ${what} list from the kinds table" VERBATIM)
endfunction()
