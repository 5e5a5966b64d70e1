# One interface target carries the compile settings of every target of the project.
add_library(project_settings INTERFACE)
target_compile_options(project_settings INTERFACE -Wall -Wextra -Wpedantic)
if(TAVOLIN_WARNINGS_AS_ERRORS)
  target_compile_options(project_settings INTERFACE -Werror)
endif()
if(TAVOLIN_SANITIZE)
  target_compile_options(project_settings INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(project_settings INTERFACE -fsanitize=address,undefined)
endif()
find_package(Threads REQUIRED)
target_link_libraries(project_settings INTERFACE Threads::Threads)
