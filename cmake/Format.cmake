# `cmake --build <dir> --target format` rewrites every C++ file with the root .clang-format:
# it runs scripts/check-format --fix, so it formats exactly the files CI checks.
add_custom_target(format
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-format --fix
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "clang-format on every C++ file scripts/check-format checks"
  USES_TERMINAL)
