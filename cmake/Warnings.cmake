# Our own targets build warning-free; third-party headers come in as SYSTEM.
function(slotkeeper_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# A library of ours: sources, warnings, public include root at the repository top
# so that includes read "card/workspace.h".
function(slotkeeper_library target)
  add_library(${target} STATIC ${ARGN})
  target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}")
  slotkeeper_warnings(${target})
endfunction()
