# Strict warnings for the project's own targets. A consumer that builds us as a subproject gets
# no -Werror (VORN_WARNINGS_AS_ERRORS defaults to OFF there).
function(vorn_set_warnings target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion -Wshadow)
    # g++ 12 at -O2 reports moves of a std::variant held in a std::expected as "may be used
    # uninitialized" (a false positive of that release); the definite -Wuninitialized stays on.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
      target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
    endif()
    if(VORN_WARNINGS_AS_ERRORS)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
endfunction()

# A library target of this project: C++23 for itself and for everything that links it.
function(vorn_library target alias)
  target_compile_features(${target} PUBLIC cxx_std_23)
  set_target_properties(${target} PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}
    EXPORT_NAME ${alias})
  vorn_set_warnings(${target})
endfunction()
