# Applies VANTREL_SANITIZE to everything built below this point.
if(VANTREL_SANITIZE)
  string(REPLACE ";" "," _vantrel_san "${VANTREL_SANITIZE}")
  add_compile_options(-fsanitize=${_vantrel_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_vantrel_san})
endif()
